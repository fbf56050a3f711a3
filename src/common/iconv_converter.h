#pragma once

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>

namespace valmeric {

// True when text has a byte at index at and it lies in [lo, hi].
inline bool ByteInRange(std::string_view text, size_t at, unsigned lo, unsigned hi) {
  if (at >= text.size()) return false;
  const auto b = static_cast<unsigned char>(text[at]);
  return b >= lo && b <= hi;
}

// One iconv descriptor, opened once per thread and kept for the thread's life.
class IconvConverter final {
 public:
  IconvConverter(const char* to, const char* from);
  ~IconvConverter();
  IconvConverter(const IconvConverter&) = delete;
  IconvConverter& operator=(const IconvConverter&) = delete;

  // Converts input, calling skip(input, at) to learn how many bytes of a
  // sequence that cannot be converted to step over, and appending replacement
  // in its place.
  template <typename SkipFn>
  std::string Convert(std::string_view input, std::string_view replacement, SkipFn skip);

 private:
  iconv_t cd_;
};

template <typename SkipFn>
std::string IconvConverter::Convert(std::string_view input, std::string_view replacement,
                                    SkipFn skip) {
  std::string out;
  out.reserve(input.size() * 2 + 8);
  iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  size_t at = 0;
  char buffer[1024];
  while (at < input.size()) {
    char* in_ptr = const_cast<char*>(input.data() + at);
    size_t in_left = input.size() - at;
    char* out_ptr = buffer;
    size_t out_left = sizeof buffer;
    const size_t rc = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
    const int error = errno;
    out.append(buffer, static_cast<size_t>(out_ptr - buffer));
    at = input.size() - in_left;
    if (rc != static_cast<size_t>(-1) || error == E2BIG) continue;
    // EILSEQ, or EINVAL for a sequence cut off at the end of the input.
    out.append(replacement);
    at += skip(input, at);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace valmeric
