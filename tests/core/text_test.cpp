// The text conventions every layer relies on: space-only trimming, lenient numbers, rounding.
#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/text.h"
#include "config/options.h"
#include "runtime/effect.h"
#include "runtime/emitter.h"

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

namespace {

struct FloatCase {
  const char* text;
  float value;
};

// Every shape of number the reader takes, and what it makes of the rest.
const FloatCase kFloatCases[] = {
    {"1.5", 1.5f},   {"1.5x", 1.5f},  {"abc", 0},      {"", 0},          {"-0.25", -0.25f},
    {".5", 0.5f},    {"5.", 5},       {"-.5", -0.5f},  {"2e3", 2000},    {"2e", 2},
    {"2e+x", 2},     {"1,5", 1},      {" 3", 3},       {".", 0},         {"-", 0},
    {"0.1", 0.1f},   {"1e39", FLT_MAX}, {"-1e39", -FLT_MAX}, {"1e-50", 0},
    {"+1.5", 1.5f},  {"+.5e1", 5},    {"0.80", 0.8f},  {"2.5E-3x", 0.0025f}, {"1e-40", 1e-40f},
    {"3.4028235e38", FLT_MAX}, {"340282356779733661637539395458142568448", FLT_MAX},
    {"16777217", 16777216.0f}, {"0.100000001490116119384765625", 0.1f}, {"12345678901234567890123", 1.2345679e22f},
};

void expectFloatCases() {
  for (const FloatCase& k : kFloatCases) EXPECT_EQ(readLeadingFloat(k.text), k.value) << '"' << k.text << '"';
}

// Runs the test in a comma-decimal C locale, as a host library may leave the process, and puts
// the previous locale back afterwards. Linux has de_DE.UTF-8 (scripts/setup.sh installs it);
// the Windows C runtime knows the others.
struct CommaLocale : ::testing::Test {
  std::string previous;
  std::string chosen;
  void SetUp() override {
    previous = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "German_Germany.1252", "de-DE", "German"}) {
      if (std::setlocale(LC_ALL, name)) {
        chosen = name;
        break;
      }
    }
  }
  void TearDown() override { std::setlocale(LC_ALL, previous.c_str()); }
};

}  // namespace

TEST(Text, LenientFloats) { expectFloatCases(); }

TEST_F(CommaLocale, NumbersReadTheSameWhateverTheLocale) {
  ASSERT_FALSE(chosen.empty()) << "no comma-decimal locale could be set (scripts/setup.sh installs de_DE.UTF-8)";
  // The hazard is real in this locale: the C runtime's own reader stops at the point.
  ASSERT_STREQ(std::localeconv()->decimal_point, ",") << chosen;
  ASSERT_NE(std::strtof("0.80", nullptr), 0.8f) << chosen;

  expectFloatCases();
  // Through the options, as a host hands them over.
  std::unique_ptr<Emitter> e(new Emitter());
  LoadPreset("Sparkle", e->system.config);
  const EmitterConfig before = e->system.config;
  ApplyOptions(*e, "opacity=0.80;speed=1.5;emitArea=0.25,0.5,0.75,0.125");
  EXPECT_EQ(e->system.config.alphaStart, before.alphaStart * 0.8f);
  EXPECT_EQ(e->system.config.speedMax, before.speedMax * 1.5f);
  EXPECT_EQ(e->system.config.emitX, 0.25f);
  EXPECT_EQ(e->system.config.emitH, 0.125f);
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
