#include <cstddef>
#include <cstdint>
#include <string>

#include "common/text/strip_tags.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string out = valmeric::StripTags(input);
  if (out.size() > input.size()) __builtin_trap();
  // Whatever is left holds no complete tag.
  const size_t open = out.find('<');
  if (open != std::string::npos && out.find('>', open) != std::string::npos) __builtin_trap();
  return 0;
}
