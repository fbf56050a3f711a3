#include "common/text/euc_to_ansi.h"

#include <cstdint>

#include "common/text/cp932_tables.h"
#include "common/text/text_encoding.h"

namespace valmeric {
namespace {

bool IsCell(unsigned char b) {
  return b >= 0xA1 && b <= 0xFE;
}

size_t CellIndex(unsigned char first, unsigned char second) {
  return static_cast<size_t>((first - 0xA1) * cp932::kEucCells + second - 0xA1);
}

char* AppendSjis(std::uint16_t code, char* out) {
  if (code == 0) {
    *out++ = '?';
  } else if (code < 0x100) {
    *out++ = static_cast<char>(code);
  } else {
    *out++ = static_cast<char>(code >> 8);
    *out++ = static_cast<char>(code & 0xFF);
  }
  return out;
}

}  // namespace

std::string EucToAnsi(std::string_view euc) {
  const size_t zero = euc.find('\0');
  if (zero != std::string_view::npos) euc = euc.substr(0, zero);
  if (IsAscii(euc)) return std::string(euc);
  // No character grows: two and three bytes give at most two, one gives one.
  std::string out(euc.size(), '\0');
  char* o = out.data();
  const auto* p = reinterpret_cast<const unsigned char*>(euc.data());
  const auto* const end = p + euc.size();
  while (p < end) {
    const unsigned char b = *p;
    const size_t left = static_cast<size_t>(end - p);
    if (b < 0x80) {
      *o++ = static_cast<char>(*p++);
    } else if (IsCell(b) && left >= 2 && IsCell(p[1])) {
      o = AppendSjis(cp932::kEucTwoByte[CellIndex(b, p[1])], o);
      p += 2;
    } else if (b == 0x8E && left >= 2 && p[1] >= 0xA1 && p[1] <= 0xDF) {  // half-width katakana
      *o++ = static_cast<char>(p[1]);
      p += 2;
    } else if (b == 0x8F && left >= 3 && IsCell(p[1]) && IsCell(p[2])) {
      o = AppendSjis(cp932::kEucThreeByte[CellIndex(p[1], p[2])], o);
      p += 3;
    } else {  // a byte that opens no well-formed character
      *o++ = '?';
      p += 1;
    }
  }
  out.resize(static_cast<size_t>(o - out.data()));
  return out;
}

}  // namespace valmeric
