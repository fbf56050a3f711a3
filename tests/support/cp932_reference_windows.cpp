#include <windows.h>

#include "support/cp932_reference.h"

namespace valmeric::test {

bool IsAssigned(unsigned char lead, unsigned char trail) {
  const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  wchar_t out[2];
  return MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, in, 2, out, 2) == 1;
}

}  // namespace valmeric::test
