#include "common/text_encoding.h"

#include <cerrno>
#include <stdexcept>

#include "common/iconv_converter.h"

namespace valmeric {
namespace {

size_t SjisSkip(std::string_view text, size_t at) {
  const auto b = static_cast<unsigned char>(text[at]);
  const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  return lead && ByteInRange(text, at + 1, 0x40, 0xFC) ? 2 : 1;
}

size_t Utf8Skip(std::string_view text, size_t at) {
  const auto b = static_cast<unsigned char>(text[at]);
  size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
  size_t k = 1;
  while (k < n && ByteInRange(text, at + k, 0x80, 0xBF)) ++k;
  return k;
}

}  // namespace

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

IconvConverter::IconvConverter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
  if (cd_ == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
  }
}

IconvConverter::~IconvConverter() { iconv_close(cd_); }

std::string Utf8ToSjis(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  thread_local IconvConverter converter("CP932", "UTF-8");
  return converter.Convert(utf8, "?", Utf8Skip);
}

std::string SjisToUtf8(std::string_view sjis) {
  if (IsAscii(sjis)) return std::string(sjis);
  thread_local IconvConverter converter("UTF-8", "CP932");
  return converter.Convert(sjis, "\xEF\xBF\xBD", SjisSkip);
}

bool AppendCodePointAsSjis(char32_t code_point, std::string& out) {
  if (code_point == 0 || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return false;
  }
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
    return true;
  }
  thread_local IconvConverter converter("CP932", "UTF-32LE");
  const char bytes[4] = {static_cast<char>(code_point & 0xFF),
                         static_cast<char>((code_point >> 8) & 0xFF),
                         static_cast<char>((code_point >> 16) & 0xFF),
                         static_cast<char>((code_point >> 24) & 0xFF)};
  bool failed = false;
  std::string converted = converter.Convert(std::string_view(bytes, 4), "",
                                            [&failed](std::string_view, size_t) {
                                              failed = true;
                                              return size_t{4};
                                            });
  if (failed || converted.empty()) return false;
  out += converted;
  return true;
}

}  // namespace valmeric
