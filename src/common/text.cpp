// Text helpers: trimming, lower-casing, splitting and lenient number reading. No state.
#include "common/text.h"

#include <cfloat>
#include <cmath>
#include <cstring>

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

// ---- Reading a decimal number as the nearest float ------------------------------------------------
// Our own reader rather than std::from_chars or strtof: strtof reads the decimal separator of the
// process's C locale, which any library in the host may set to a comma ("0.80" would read 0), and
// not every C++ library we build with has a float from_chars (the browser build's has none). A
// guess from double arithmetic is corrected by comparing the exact decimal value with the exact
// midpoints between neighbouring floats, so the result is the correctly rounded float (halves to
// even), the same on every target.

namespace {

constexpr int MaxDecimalDigits = 800;  // significant digits kept; any further ones only as "more"
constexpr int BigLimbs = 128;          // 4096 bits: the largest comparison needs about 2900

// An unsigned integer of 32-bit limbs, least significant first, for exact comparisons.
struct BigNum {
  uint32_t limb[BigLimbs];
  int count;  // limbs in use; 0 is zero
};

void bigSet(BigNum& b, uint64_t v) {
  b.count = 0;
  while (v) {
    b.limb[b.count++] = static_cast<uint32_t>(v);
    v >>= 32;
  }
}

// b = b * m + add, for m and add below 2^32.
void bigMulAdd(BigNum& b, uint32_t m, uint32_t add) {
  uint64_t carry = add;
  for (int i = 0; i < b.count; ++i) {
    const uint64_t t = static_cast<uint64_t>(b.limb[i]) * m + carry;
    b.limb[i] = static_cast<uint32_t>(t);
    carry = t >> 32;
  }
  if (carry && b.count < BigLimbs) b.limb[b.count++] = static_cast<uint32_t>(carry);
}

void bigMulPow10(BigNum& b, int e) {
  for (; e >= 9; e -= 9) bigMulAdd(b, 1000000000u, 0);
  static const uint32_t small[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
  if (e > 0) bigMulAdd(b, small[e], 0);
}

void bigShiftLeft(BigNum& b, int bits) {
  if (b.count == 0) return;
  const int limbs = bits / 32, rest = bits % 32;
  int n = b.count + limbs + 1;
  if (n > BigLimbs) n = BigLimbs;
  for (int i = n - 1; i >= 0; --i) {
    const int from = i - limbs;
    uint64_t v = from >= 0 && from < b.count ? static_cast<uint64_t>(b.limb[from]) << rest : 0;
    if (rest && from - 1 >= 0 && from - 1 < b.count) v |= b.limb[from - 1] >> (32 - rest);
    b.limb[i] = static_cast<uint32_t>(v);
  }
  b.count = n;
  while (b.count > 0 && b.limb[b.count - 1] == 0) --b.count;
}

int bigCompare(const BigNum& a, const BigNum& b) {
  if (a.count != b.count) return a.count < b.count ? -1 : 1;
  for (int i = a.count - 1; i >= 0; --i)
    if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i] ? -1 : 1;
  return 0;
}

// The significant digits of a decimal number: value = digits x 10^exponent, plus a little more
// when truncated is set.
struct Decimal {
  char digits[MaxDecimalDigits];  // '0'-'9', no leading or trailing zeros
  int count;
  int64_t exponent;
  bool truncated;  // non-zero digits beyond MaxDecimalDigits were dropped
};

// Reads "ddd.ddd" and an optional exponent "e[+-]ddd" from [p, last), already checked by the
// caller (at least one digit; an exponent only with digits).
void readDecimal(const char* p, const char* last, Decimal& d) {
  d.count = 0;
  d.truncated = false;
  int64_t intDigits = 0;    // digits before the point
  int64_t allDigits = 0;    // every digit, leading zeros too
  int64_t dropped = 0;      // significant digits beyond what is kept
  bool afterPoint = false;
  for (; p < last; ++p) {
    const char c = *p;
    if (c == '.') {
      afterPoint = true;
      continue;
    }
    if (c < '0' || c > '9') break;
    ++allDigits;
    if (!afterPoint) ++intDigits;
    if (d.count == 0 && c == '0') continue;  // a leading zero
    if (d.count < MaxDecimalDigits) {
      d.digits[d.count++] = c;
    } else {
      ++dropped;
      if (c != '0') d.truncated = true;
    }
  }
  // value = kept digits x 10^(intDigits - allDigits + dropped), then without trailing zeros.
  d.exponent = intDigits - allDigits + dropped;
  while (d.count > 0 && d.digits[d.count - 1] == '0') --d.count, ++d.exponent;
  if (p < last && (*p == 'e' || *p == 'E')) {
    ++p;
    const bool negative = p < last && *p == '-';
    if (p < last && (*p == '+' || *p == '-')) ++p;
    int64_t e = 0;
    for (; p < last && *p >= '0' && *p <= '9'; ++p)
      if (e < 1000000000) e = e * 10 + (*p - '0');
    d.exponent += negative ? -e : e;
  }
}

// Compares the decimal with m x 2^binExp: -1, 0 or 1.
int compareWithBinary(const Decimal& d, uint64_t m, int binExp) {
  BigNum a, b;  // about 1 KB of stack, so that any thread may read numbers
  bigSet(a, 0);
  for (int i = 0; i < d.count; ++i) bigMulAdd(a, 10, static_cast<uint32_t>(d.digits[i] - '0'));
  bigSet(b, m);
  if (d.exponent >= 0) bigMulPow10(a, static_cast<int>(d.exponent));
  else bigMulPow10(b, static_cast<int>(-d.exponent));
  if (binExp >= 0) bigShiftLeft(b, binExp);
  else bigShiftLeft(a, -binExp);
  const int c = bigCompare(a, b);
  return c == 0 && d.truncated ? 1 : c;
}

// The exact midpoint between the non-negative float f and the next float up, as m x 2^binExp.
void midpointAbove(float f, uint64_t& m, int& binExp) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  const uint32_t field = bits >> 23, fraction = bits & 0x7FFFFF;
  const uint64_t mantissa = field ? (fraction | 0x800000u) : fraction;
  const int exponent = field ? static_cast<int>(field) - 150 : -149;
  m = 2 * mantissa + 1;
  binExp = exponent - 1;
}

int isOddFloat(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits & 1;
}

// The nearest float to a positive decimal, or FLT_MAX when it is beyond the float range.
float nearestFloat(const Decimal& d) {
  // Where the number lies: between 10^(magnitude - 1) and 10^magnitude.
  const int64_t magnitude = d.exponent + d.count;
  if (magnitude > 39) return FLT_MAX;
  if (magnitude < -46) return 0.0f;  // below half the smallest float
  // A guess from the leading digits.
  double lead = 0;
  const int used = d.count < 19 ? d.count : 19;
  for (int i = 0; i < used; ++i) lead = lead * 10 + (d.digits[i] - '0');
  const double guess = lead * std::pow(10.0, static_cast<double>(d.exponent + d.count - used));
  float f = guess >= static_cast<double>(FLT_MAX) ? FLT_MAX : static_cast<float>(guess);
  // Correct it: step up while the number lies above the midpoint over f, down while it lies
  // below the midpoint under f; on a midpoint the even one of the two wins.
  for (;;) {
    uint64_t m;
    int e;
    midpointAbove(f, m, e);
    int c = compareWithBinary(d, m, e);
    if (c > 0 || (c == 0 && isOddFloat(f))) {
      if (f == FLT_MAX) return FLT_MAX;  // rounds to infinity: held at the largest float
      f = std::nextafter(f, FLT_MAX);
      continue;
    }
    if (f == 0.0f) return f;
    const float below = std::nextafter(f, 0.0f);
    midpointAbove(below, m, e);
    c = compareWithBinary(d, m, e);
    if (c < 0 || (c == 0 && isOddFloat(f))) {
      f = below;
      continue;
    }
    return f;
  }
}

}  // namespace

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
  const char* first = text.data() + start;
  const char* const last = text.data() + i;
  const bool negative = *first == '-';
  if (*first == '+' || *first == '-') ++first;
  Decimal d;
  readDecimal(first, last, d);
  // Beyond the float range either way: overflow is held at the largest finite float so that no
  // infinity reaches the engine's arithmetic, underflow reads as a zero of its sign.
  const float v = d.count == 0 ? 0.0f : nearestFloat(d);
  return negative ? -v : v;
}

int32_t roundHalfAway(double value) {
  if (std::isnan(value)) return 0;
  double r = value > 0 ? std::floor(value + 0.5) : std::ceil(value - 0.5);
  if (r >= 2147483647.0) return INT32_MAX;
  if (r <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(r);
}
