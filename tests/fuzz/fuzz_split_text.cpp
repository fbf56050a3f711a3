#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/text/split_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte says how long the delimiter is (0 to 3 bytes).
  const size_t delimiter_length = std::min<size_t>(data[0] % 4, size - 1);
  const std::string delimiter(reinterpret_cast<const char*>(data + 1), delimiter_length);
  const std::string text(reinterpret_cast<const char*>(data + 1 + delimiter_length),
                         size - 1 - delimiter_length);
  std::vector<std::string> pieces;
  valmeric::SplitText(text, delimiter, pieces);
  size_t total = 0;
  for (const std::string& piece : pieces) {
    if (piece.empty()) __builtin_trap();  // empty pieces are never added
    total += piece.size();
  }
  if (total > text.size()) __builtin_trap();
  return 0;
}
