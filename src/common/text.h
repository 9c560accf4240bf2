// Text helpers shared by every layer: space-only trimming, ASCII lower-casing, splitting, and the
// lenient number readers that take the leading number of a text and ignore the rest.
// Text in the portable core is std::string (UTF-8); the Win32 layer converts at its edges.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Leading and trailing spaces (code 32) removed; tabs and other white space stay.
std::string trimSpaces(const std::string& text);

// ASCII letters lower-cased; every other byte kept as it is.
std::string toLowerText(const std::string& text);

// trimSpaces then toLowerText: how names, keys and words are compared.
std::string normalizeName(const std::string& text);

// Splits at every occurrence of sep: "a,,b" gives "a", "", "b"; "" gives one empty field.
std::vector<std::string> splitText(const std::string& text, char sep);

// Leading integer of text: optional spaces, optional sign, then decimal digits, "$" and hex
// digits, or "%" and binary digits. Text without a leading number reads 0. Decimal values beyond
// the 32-bit range saturate; "$" and "%" values fill 32 bits as unsigned (so "$FFFFFFFF" is -1)
// and saturate beyond that.
int32_t readLeadingInt(const std::string& text);

// Leading float of text: optional spaces, sign, digits with an optional "." and fraction, and an
// optional exponent. Text without a leading number reads 0; values beyond the float range read
// as the largest finite float of that sign.
float readLeadingFloat(const std::string& text);

// Rounds to the nearest integer, halves away from zero (2.5 -> 3, -2.5 -> -3). Values beyond the
// 32-bit range saturate; NaN gives 0.
int32_t roundHalfAway(double value);

// Clamps to lo..hi.
inline int32_t clampInt(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline float clampFloat(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

// A fraction turned into a colour or alpha byte: rounded half away from zero, clamped to 0..255.
inline int32_t toByte(double value) { return clampInt(roundHalfAway(value), 0, 255); }
