#include <cstddef>
#include <cstdint>
#include <string>

#include "common/text/euc_to_ansi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string out = valmeric::EucToAnsi(input);
  // No character grows, and the text ends at its first zero byte.
  if (out.size() > input.size() || out.find('\0') != std::string::npos) __builtin_trap();
  return 0;
}
