// The text conventions every layer relies on: space-only trimming, lenient numbers, rounding.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "common/text.h"

TEST(Text, TrimsSpacesOnlyAndLowerCasesAscii) {
  EXPECT_EQ(trimSpaces("  Rect1  "), "Rect1");
  EXPECT_EQ(trimSpaces("\tRect1 "), "\tRect1");
  EXPECT_EQ(trimSpaces("    "), "");
  EXPECT_EQ(trimSpaces(""), "");
  EXPECT_EQ(toLowerText("AbC-Z\xC3\x89"), "abc-z\xC3\x89");
  EXPECT_EQ(normalizeName("  FIRE\t "), "fire\t");
}

TEST(Text, SplitKeepsEmptyFields) {
  EXPECT_EQ(splitText("a,,b", ','), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(splitText("", ','), (std::vector<std::string>{""}));
  EXPECT_EQ(splitText(";x;", ';'), (std::vector<std::string>{"", "x", ""}));
}

TEST(Text, LenientIntegers) {
  struct Case { const char* text; int32_t value; };
  const Case cases[] = {
      {"75", 75},           {"75abc", 75},         {"abc", 0},           {"", 0},
      {"-5", -5},           {"+12", 12},           {"  42", 42},         {"4 2", 4},
      {"12.9", 12},         {"$FF", 255},          {"$ff", 255},         {"$1g", 1},
      {"$", 0},             {"%101", 5},           {"%102", 2},          {"-$10", -16},
      {"$FFFFFFFF", -1},    {"$7FFFFFFF", INT32_MAX}, {"$123456789", -1},
      {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX}, {"-2147483648", INT32_MIN},
      {"-99999999999999999999", INT32_MIN}, {"-", 0}, {"--5", 0}, {"\t5", 0},
  };
  for (const Case& k : cases) EXPECT_EQ(readLeadingInt(k.text), k.value) << '"' << k.text << '"';
}

TEST(Text, LenientFloats) {
  struct Case { const char* text; float value; };
  const Case cases[] = {
      {"1.5", 1.5f},   {"1.5x", 1.5f},  {"abc", 0},      {"", 0},          {"-0.25", -0.25f},
      {".5", 0.5f},    {"5.", 5},       {"-.5", -0.5f},  {"2e3", 2000},    {"2e", 2},
      {"2e+x", 2},     {"1,5", 1},      {" 3", 3},       {".", 0},         {"-", 0},
      {"0.1", 0.1f},   {"1e39", FLT_MAX}, {"-1e39", -FLT_MAX}, {"1e-50", 0},
  };
  for (const Case& k : cases) EXPECT_EQ(readLeadingFloat(k.text), k.value) << '"' << k.text << '"';
}

TEST(Text, RoundsHalvesAwayFromZero) {
  struct Case { double in; int32_t out; };
  const Case cases[] = {
      {2.5, 3}, {-2.5, -3}, {0.5, 1}, {-0.5, -1}, {0.49, 0}, {-0.49, 0}, {127.5, 128},
      {1e12, INT32_MAX}, {-1e12, INT32_MIN}, {std::nan(""), 0},
  };
  for (const Case& k : cases) EXPECT_EQ(roundHalfAway(k.in), k.out) << k.in;
  EXPECT_EQ(toByte(255.5), 255);
  EXPECT_EQ(toByte(-3), 0);
  EXPECT_EQ(toByte(0.5 * 255), 128);
}
