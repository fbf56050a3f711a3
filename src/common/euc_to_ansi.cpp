#include "common/euc_to_ansi.h"

#include <array>
#include <cstdint>
#include <mutex>

#include "common/iconv_converter.h"
#include "common/sjis_text.h"
#include "common/text_encoding.h"

namespace valmeric {
namespace {

constexpr int kCells = 94;  // bytes 0xA1..0xFE of each half of a two-byte character

// CP932 forms of every two-byte (row, cell) character of EUC-JP, and of every
// three-byte one (after 0x8F); 0 where CP932 has no form. Built once from
// iconv, so the fast path gives exactly what iconv gives.
struct EucTables {
  std::array<std::uint16_t, kCells * kCells> two_byte{};
  std::array<std::uint16_t, kCells * kCells> three_byte{};
};

// Converts the 94 characters of one row at once. A character iconv cannot
// convert comes out as DEL, which no EUC-JP character converts to, so the
// output splits back into one entry per character.
void FillRow(IconvConverter& converter, std::string_view prefix, int row, std::uint16_t* out) {
  std::string euc;
  for (int cell = 0; cell < kCells; ++cell) {
    euc.append(prefix);
    euc.push_back(static_cast<char>(0xA1 + row));
    euc.push_back(static_cast<char>(0xA1 + cell));
  }
  const size_t width = prefix.size() + 2;
  const std::string sjis =
      converter.Convert(euc, "\x7f", [width](std::string_view, size_t) { return width; });
  size_t at = 0;
  for (int cell = 0; cell < kCells && at < sjis.size(); ++cell) {
    const auto b = static_cast<unsigned char>(sjis[at]);
    if (b == 0x7F) {
      out[cell] = 0;
      at += 1;
    } else if (IsSjisLeadByte(b) && at + 1 < sjis.size()) {
      out[cell] = static_cast<std::uint16_t>((b << 8) | static_cast<unsigned char>(sjis[at + 1]));
      at += 2;
    } else {
      out[cell] = b;
      at += 1;
    }
  }
}

const EucTables& Tables() {
  static EucTables tables;
  static std::once_flag built;
  std::call_once(built, [] {
    IconvConverter converter("CP932", "EUC-JP-MS");
    for (int row = 0; row < kCells; ++row) {
      FillRow(converter, "", row, &tables.two_byte[static_cast<size_t>(row * kCells)]);
      FillRow(converter, "\x8F", row, &tables.three_byte[static_cast<size_t>(row * kCells)]);
    }
  });
  return tables;
}

bool IsCell(unsigned char b) { return b >= 0xA1 && b <= 0xFE; }

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
  const EucTables& tables = Tables();
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
      o = AppendSjis(tables.two_byte[static_cast<size_t>((b - 0xA1) * kCells + p[1] - 0xA1)], o);
      p += 2;
    } else if (b == 0x8E && left >= 2 && p[1] >= 0xA1 && p[1] <= 0xDF) {  // half-width katakana
      *o++ = static_cast<char>(p[1]);
      p += 2;
    } else if (b == 0x8F && left >= 3 && IsCell(p[1]) && IsCell(p[2])) {
      o = AppendSjis(tables.three_byte[static_cast<size_t>((p[1] - 0xA1) * kCells + p[2] - 0xA1)], o);
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
