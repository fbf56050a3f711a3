#include "common/text_encoding.h"

#include <bitset>
#include <cerrno>
#include <stdexcept>

#include "common/iconv_converter.h"
#include "common/sjis_text.h"

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

// Which one- and two-byte sequences CP932 assigns, learnt once from iconv:
// bit b for a single byte b, bit (lead << 8 | trail) for a pair.
class SjisCodeTable final {
 public:
  SjisCodeTable() {
    IconvConverter converter("UTF-8", "CP932");
    auto converts = [&converter](std::string_view bytes) {
      bool failed = false;
      converter.Convert(bytes, "", [&failed](std::string_view text, size_t at) {
        failed = true;
        return text.size() - at;
      });
      return !failed;
    };
    for (unsigned b = 0; b < 0x100; ++b) {
      const char one[1] = {static_cast<char>(b)};
      if (!IsSjisLeadByte(static_cast<unsigned char>(b))) {
        valid_[b] = converts(std::string_view(one, 1));
        continue;
      }
      for (unsigned trail = 0; trail < 0x100; ++trail) {
        const char two[2] = {static_cast<char>(b), static_cast<char>(trail)};
        valid_[b << 8 | trail] = converts(std::string_view(two, 2));
      }
    }
  }

  size_t FindInvalid(std::string_view text) const {
    for (size_t at = 0; at < text.size();) {
      const auto b = static_cast<unsigned char>(text[at]);
      if (b < 0x80) {
        ++at;
      } else if (!IsSjisLeadByte(b)) {
        if (!valid_[b]) return at;
        ++at;
      } else {
        if (at + 1 >= text.size()) return at;
        if (!valid_[static_cast<unsigned>(b) << 8 | static_cast<unsigned char>(text[at + 1])]) {
          return at;
        }
        at += 2;
      }
    }
    return std::string_view::npos;
  }

 private:
  std::bitset<0x10000> valid_;
};

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

size_t FindInvalidSjis(std::string_view text) {
  static const SjisCodeTable table;
  return table.FindInvalid(text);
}

size_t AppendUtf8AsSjisChecked(std::string_view utf8, std::string& out) {
  if (IsAscii(utf8)) {
    out.append(utf8);
    return std::string_view::npos;
  }
  thread_local IconvConverter converter("CP932", "UTF-8");
  size_t bad_at = std::string_view::npos;
  out += converter.Convert(utf8, "", [&bad_at](std::string_view text, size_t at) {
    if (bad_at == std::string_view::npos) bad_at = at;
    return text.size() - at;  // nothing after the first fault is wanted
  });
  return bad_at;
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
