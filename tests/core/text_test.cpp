// The text conventions every layer relies on: space-only trimming, lenient numbers, rounding.
#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <random>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

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

#if defined(__cpp_lib_to_chars)
// The reader is our own (the browser build's C++ library has no float from_chars); where the
// standard library has one, the two must agree on every number: many digits, long fractions,
// the edges of the float range, and the exact midpoints between neighbouring floats (printed in
// full, where halves go to even) and numbers a digit either side of them.
TEST(Text, FloatsAreTheCorrectlyRoundedOnes) {
  std::vector<std::string> texts = {
      "1.00000005960464477539062500", "1.00000017881393432617187500", "0.000000000000000000000000000000000000011754942",
      "1.4012984643e-45", "7.006492321624085e-46", "7.006492321624086e-46", "3.4028234e38", "3.40282357e38",
      "0.00000000000000000000000000000000000000000000000000000000001", "123456789012345678901234567890e-20",
  };
  std::mt19937_64 random(20260511);
  char buffer[256];
  for (int i = 0; i < 4000; ++i) {
    // A random float's midpoint with its neighbour above, exactly (it fits a double), then one
    // unit more or less in its last printed digit.
    uint32_t bits = static_cast<uint32_t>(random()) & 0x7FFFFFFFu;
    if ((bits >> 23) == 0xFF) bits &= 0x7F7FFFFFu;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    const double mid = (static_cast<double>(f) + static_cast<double>(std::nextafter(f, FLT_MAX))) / 2;
    std::snprintf(buffer, sizeof buffer, "%.120e", mid);
    std::string exact = buffer;
    const size_t e = exact.find('e');
    std::string mantissa = exact.substr(0, e), exponent = exact.substr(e);
    while (mantissa.back() == '0') mantissa.pop_back();
    texts.push_back(mantissa + exponent);
    std::string up = mantissa + "1" + exponent, down = mantissa;
    // One unit less in the last digit (the mantissa ends in a non-zero digit).
    down.back() = static_cast<char>(down.back() - 1);
    texts.push_back(up);
    texts.push_back(down + "9" + exponent);
    // And plain decimals of every length and scale.
    const int digits = 1 + static_cast<int>(random() % 30);
    std::string d;
    for (int k = 0; k < digits; ++k) d += static_cast<char>('0' + random() % 10);
    d.insert(random() % (d.size() + 1), ".");
    texts.push_back(d + "e" + std::to_string(static_cast<int>(random() % 100) - 60));
  }
  int checked = 0;
  for (const std::string& t : texts) {
    float expected = 0;
    const std::from_chars_result r = std::from_chars(t.data(), t.data() + t.size(), expected);
    ASSERT_EQ(r.ptr, t.data() + t.size()) << t;
    if (r.ec == std::errc::result_out_of_range) continue;  // the range's edges are cases above
    ASSERT_EQ(readLeadingFloat(t), expected) << t;
    ASSERT_EQ(readLeadingFloat("-" + t), -expected) << t;
    ++checked;
  }
  EXPECT_GT(checked, 15000);
}
#endif

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
