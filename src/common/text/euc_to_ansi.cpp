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

// Bytes of the well-formed character at p (left bytes from p on), 0 when p
// opens none.
size_t CharBytes(const unsigned char* p, size_t left) {
  if (p[0] < 0x80) return 1;
  if (IsCell(p[0])) return left >= 2 && IsCell(p[1]) ? 2 : 0;
  if (p[0] == 0x8E) return left >= 2 && p[1] >= 0xA1 && p[1] <= 0xDF ? 2 : 0;
  if (p[0] == 0x8F) return left >= 3 && IsCell(p[1]) && IsCell(p[2]) ? 3 : 0;
  return 0;
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
    const size_t n = CharBytes(p, static_cast<size_t>(end - p));
    if (n == 1) {
      *o++ = static_cast<char>(*p);
    } else if (n == 2 && *p == 0x8E) {  // half-width katakana
      *o++ = static_cast<char>(p[1]);
    } else if (n == 2) {
      o = AppendSjis(cp932::kEucTwoByte[CellIndex(p[0], p[1])], o);
    } else if (n == 3) {
      o = AppendSjis(cp932::kEucThreeByte[CellIndex(p[1], p[2])], o);
    } else {  // a byte that opens no well-formed character
      *o++ = '?';
    }
    p += n == 0 ? 1 : n;
  }
  out.resize(static_cast<size_t>(o - out.data()));
  return out;
}

bool ReadsAsEucJp(std::string_view text) {
  constexpr size_t kFewMalformed = 8;
  size_t well_formed = 0;
  size_t malformed = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  while (p < end) {
    const size_t n = CharBytes(p, static_cast<size_t>(end - p));
    if (n == 0) ++malformed;
    if (n > 1) ++well_formed;
    p += n == 0 ? 1 : n;
  }
  return malformed < kFewMalformed || malformed <= well_formed;
}

}  // namespace valmeric
