// Fuzzes ParseColorText: never crashes; a success gives channels in 0..255 and needs three
// non-empty fields.
#include <cstdint>
#include <string>
#include <vector>

#include "common/text.h"
#include "config/emitter_config.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  int32_t r = -1, g = -1, b = -1;
  if (ParseColorText(text, r, g, b)) {
    FUZZ_CHECK(r >= 0 && r <= 255 && g >= 0 && g <= 255 && b >= 0 && b <= 255);
    std::vector<std::string> f = splitText(text, ',');
    FUZZ_CHECK(f.size() >= 3);
    for (int i = 0; i < 3; ++i) FUZZ_CHECK(!trimSpaces(f[i]).empty());
  } else {
    FUZZ_CHECK(r == -1 && g == -1 && b == -1);
  }
  return 0;
}
