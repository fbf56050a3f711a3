#include <iconv.h>

#include <stdexcept>

#include "support/cp932_reference.h"

namespace valmeric::test {

bool IsAssigned(unsigned char lead, unsigned char trail) {
  static const iconv_t cd = iconv_open("UTF-16LE", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv has no CP932");
  char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  char out[8];
  char* in_ptr = in;
  char* out_ptr = out;
  size_t in_left = sizeof in;
  size_t out_left = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<size_t>(-1) &&
         in_left == 0;
}

}  // namespace valmeric::test
