#include <iconv.h>

#include <stdexcept>

#include "support/euc.h"

namespace valmeric::test {

std::string ToEuc(std::string_view utf8) {
  iconv_t cd = iconv_open("EUC-JP-MS", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  std::string out(utf8.size() * 2 + 16, '\0');
  char* in_ptr = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* out_ptr = out.data();
  size_t out_left = out.size();
  const size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1))
    throw std::runtime_error("test text not representable in EUC-JP");
  out.resize(out.size() - out_left);
  return out;
}

}  // namespace valmeric::test
