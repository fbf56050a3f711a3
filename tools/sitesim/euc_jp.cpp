#include "euc_jp.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace valmeric::sitesim {
namespace {

class Converter final {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  std::string Run(std::string_view input) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out(input.size() + input.size() / 2 + 16, '\0');
    char* in_ptr = const_cast<char*>(input.data());
    std::size_t in_left = input.size();
    std::size_t used = 0;
    for (;;) {
      char* out_ptr = out.data() + used;
      std::size_t out_left = out.size() - used;
      std::size_t rc = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
      used = out.size() - out_left;
      if (rc != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      throw std::runtime_error("text cannot be converted at byte " +
                               std::to_string(input.size() - in_left));
    }
    out.resize(used);
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string Utf8ToEucJp(std::string_view utf8) {
  thread_local Converter converter("EUC-JP-MS", "UTF-8");
  return converter.Run(utf8);
}

std::string EucJpToUtf8(std::string_view euc) {
  thread_local Converter converter("UTF-8", "EUC-JP-MS");
  return converter.Run(euc);
}

}  // namespace valmeric::sitesim
