// Fuzzes the lenient number readers: no undefined behaviour, finite floats, and a reading that
// depends only on the leading number (appending text after a non-number byte changes nothing).
#include <cmath>
#include <cstdint>
#include <string>

#include "common/text.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int32_t i = readLeadingInt(text);
  const float f = readLeadingFloat(text);
  FUZZ_CHECK(std::isfinite(f));
  FUZZ_CHECK(readLeadingInt(text + ";tail9") == i);
  FUZZ_CHECK(readLeadingFloat(text + ";tail9") == f);
  const int32_t r = roundHalfAway(static_cast<double>(f));
  FUZZ_CHECK(std::fabs(static_cast<double>(r)) <= 2147483648.0);
  return 0;
}
