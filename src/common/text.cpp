// Text helpers: trimming, lower-casing, splitting and lenient number reading. No state.
#include "common/text.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <system_error>

std::string trimSpaces(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  return text.substr(b, e - b);
}

std::string toLowerText(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string normalizeName(const std::string& text) { return toLowerText(trimSpaces(text)); }

std::vector<std::string> splitText(const std::string& text, char sep) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t p = text.find(sep, start);
    if (p == std::string::npos) {
      fields.push_back(text.substr(start));
      return fields;
    }
    fields.push_back(text.substr(start, p - start));
    start = p + 1;
  }
}

static int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

int32_t readLeadingInt(const std::string& text) {
  size_t i = 0, n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < n && text[i] == '$') base = 16, ++i;
  else if (i < n && text[i] == '%') base = 2, ++i;

  // Accumulate in 64 bits and stop growing once past any representable value.
  const uint64_t cap = base == 10 ? 0x80000000ull : 0xFFFFFFFFull;
  uint64_t value = 0;
  bool over = false;
  for (; i < n; ++i) {
    int d = digitValue(text[i]);
    if (d >= base) break;
    if (!over) {
      value = value * base + d;
      if (value > cap) over = true;
    }
  }
  if (base == 10) {
    if (over) return negative ? INT32_MIN : INT32_MAX;
    if (negative) return value >= 0x80000000ull ? INT32_MIN : -static_cast<int32_t>(value);
    return value > 0x7FFFFFFFull ? INT32_MAX : static_cast<int32_t>(value);
  }
  if (over) value = 0xFFFFFFFFull;
  uint32_t bits = static_cast<uint32_t>(value);
  if (negative) bits = 0u - bits;
  return static_cast<int32_t>(bits);
}

// Roughly log10 of a non-zero decimal number "ddd.ddde[+-]dd" (no sign): positive for numbers
// of 1 and more, 0 or less below 1. Enough to tell overflow from underflow.
static int64_t decimalMagnitude(const char* p, const char* last) {
  int64_t magnitude = 0;
  bool seenNonZero = false;
  while (p < last && *p >= '0' && *p <= '9') {
    if (*p != '0') seenNonZero = true;
    if (seenNonZero) ++magnitude;
    ++p;
  }
  if (p < last && *p == '.') {
    ++p;
    while (!seenNonZero && p < last && *p == '0') --magnitude, ++p;
  }
  while (p < last && *p != 'e' && *p != 'E') ++p;
  if (p < last) {
    ++p;
    const bool negative = p < last && *p == '-';
    if (p < last && (*p == '+' || *p == '-')) ++p;
    int64_t exponent = 0;
    for (; p < last; ++p)
      if (exponent < 1000000000) exponent = exponent * 10 + (*p - '0');
    magnitude += negative ? -exponent : exponent;
  }
  return magnitude;
}

float readLeadingFloat(const std::string& text) {
  size_t i = 0, n = text.size();
  while (i < n && text[i] == ' ') ++i;
  const size_t start = i;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return 0.0f;
  // An exponent counts only when digits follow it: "2e" reads 2, "2e3x" reads 2000.
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < n && text[j] >= '0' && text[j] <= '9') {
      while (j < n && text[j] >= '0' && text[j] <= '9') ++j;
      i = j;
    }
  }
  // from_chars on the exact prefix gives the correctly rounded float, and always reads a point as
  // the decimal separator: strtof would read the separator of the process's C locale, which any
  // library in the host may set to a comma ("0.80" would read 0). It takes no "+".
  const char* first = text.data() + start;
  const char* const last = text.data() + i;
  const bool negative = *first == '-';
  if (*first == '+') ++first;
  float v = 0;
  if (std::from_chars(first, last, v, std::chars_format::general).ec == std::errc::result_out_of_range) {
    // Beyond the float range either way: overflow is held at the largest finite float so that no
    // infinity reaches the engine's arithmetic, underflow reads as a zero of its sign.
    v = decimalMagnitude(first + (negative ? 1 : 0), last) > 0 ? FLT_MAX : 0.0f;
    if (negative) v = -v;
  }
  return v;
}

int32_t roundHalfAway(double value) {
  if (std::isnan(value)) return 0;
  double r = value > 0 ? std::floor(value + 0.5) : std::ceil(value - 0.5);
  if (r >= 2147483647.0) return INT32_MAX;
  if (r <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(r);
}
