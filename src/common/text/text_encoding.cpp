#include "common/text/text_encoding.h"

#include <cstdint>

#include "common/text/cp932_tables.h"
#include "common/text/sjis_text.h"

namespace valmeric {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

unsigned char ByteAt(std::string_view text, size_t at) {
  return static_cast<unsigned char>(text[at]);
}

// True when text has a byte at index at and it lies in [lo, hi].
bool ByteInRange(std::string_view text, size_t at, unsigned lo, unsigned hi) {
  return at < text.size() && ByteAt(text, at) >= lo && ByteAt(text, at) <= hi;
}

// How many bytes one replacement stands for: a lead byte and the trail byte
// after it, or a UTF-8 start byte and the continuation bytes that follow it,
// up to the length it announces.
size_t SjisSkip(std::string_view text, size_t at) {
  return IsSjisLeadByte(ByteAt(text, at)) && ByteInRange(text, at + 1, 0x40, 0xFC) ? 2 : 1;
}

size_t Utf8Skip(std::string_view text, size_t at) {
  const auto b = ByteAt(text, at);
  size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
  size_t k = 1;
  while (k < n && ByteInRange(text, at + k, 0x80, 0xBF)) ++k;
  return k;
}

// A character read at some offset: its code point and its length in bytes,
// which is 0 when the bytes there form no character.
struct Char {
  char32_t code_point;
  size_t size;
};

Char ReadSjis(std::string_view text, size_t at) {
  const auto b = ByteAt(text, at);
  if (b < 0x80) return {b, 1};
  if (!IsSjisLeadByte(b)) {
    const char32_t c = cp932::DecodeSingle(b);
    return {c, c != 0 ? size_t{1} : 0};
  }
  if (at + 1 >= text.size()) return {0, 0};
  const char32_t c = cp932::DecodePair(b, ByteAt(text, at + 1));
  return {c, c != 0 ? size_t{2} : 0};
}

// Shortest forms only: no surrogates, nothing beyond U+10FFFF.
Char ReadUtf8(std::string_view text, size_t at) {
  const auto b = ByteAt(text, at);
  if (b < 0x80) return {b, 1};
  size_t n = 0;
  char32_t least = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
    least = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    least = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    least = 0x10000;
  } else {
    return {0, 0};
  }
  char32_t c = b & (0x7Fu >> n);
  for (size_t k = 1; k < n; ++k) {
    if (!ByteInRange(text, at + k, 0x80, 0xBF)) return {0, 0};
    c = c << 6 | (ByteAt(text, at + k) & 0x3Fu);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {0, 0};
  return {c, n};
}

void AppendCode(std::uint16_t code, std::string& out) {
  if (code >= 0x100) out.push_back(static_cast<char>(code >> 8));
  out.push_back(static_cast<char>(code & 0xFF));
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | c >> 6));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {  // CP932 holds nothing beyond the BMP
    out.push_back(static_cast<char>(0xE0 | c >> 12));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Appends utf8 converted to CP932. At a sequence that is no UTF-8 or whose
// character CP932 cannot hold, calls fault(at), which returns how many bytes
// to step over.
template <typename Fault>
void ConvertUtf8(std::string_view utf8, std::string& out, Fault fault) {
  for (size_t at = 0; at < utf8.size();) {
    const Char c = ReadUtf8(utf8, at);
    if (c.size == 0) {
      at += fault(at);
      continue;
    }
    if (c.code_point < 0x80) {
      out.push_back(static_cast<char>(c.code_point));
    } else if (const std::uint16_t code = cp932::Encode(c.code_point); code != 0) {
      AppendCode(code, out);
    } else if (!cp932::IsDropped(c.code_point)) {
      at += fault(at);
      continue;
    }
    at += c.size;
  }
}

}  // namespace

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::string Utf8ToSjis(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  ConvertUtf8(utf8, out, [&](size_t at) {
    out.push_back('?');
    return Utf8Skip(utf8, at);
  });
  return out;
}

std::string SjisToUtf8(std::string_view sjis) {
  if (IsAscii(sjis)) return std::string(sjis);
  std::string out;
  out.reserve(sjis.size() * 3 / 2);
  for (size_t at = 0; at < sjis.size();) {
    const Char c = ReadSjis(sjis, at);
    if (c.size == 0) {
      out.append(kReplacementCharacter);
      at += SjisSkip(sjis, at);
    } else {
      AppendUtf8(c.code_point, out);
      at += c.size;
    }
  }
  return out;
}

size_t FindInvalidSjis(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t size = ReadSjis(text, at).size;
    if (size == 0) return at;
    at += size;
  }
  return std::string_view::npos;
}

size_t AppendUtf8AsSjisChecked(std::string_view utf8, std::string& out) {
  if (IsAscii(utf8)) {
    out.append(utf8);
    return std::string_view::npos;
  }
  size_t bad_at = std::string_view::npos;
  ConvertUtf8(utf8, out, [&](size_t at) {
    bad_at = at;
    return utf8.size() - at;  // nothing after the first fault is wanted
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
  const std::uint16_t code = cp932::Encode(code_point);
  if (code == 0) return false;
  AppendCode(code, out);
  return true;
}

}  // namespace valmeric
