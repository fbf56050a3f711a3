#pragma once

// CP932 code tables, generated from glibc's iconv by
// tools/generators/cp932_tables.cpp, so that every build converts text to and
// from CP932 exactly as iconv does.

#include <array>
#include <cstdint>

namespace valmeric::cp932 {

inline constexpr int kEucCells = 94;     // 0xA1..0xFE, either byte of an EUC-JP character
inline constexpr int kLeadBytes = 60;    // 0x81..0x9F, 0xE0..0xFC
inline constexpr int kTrailBytes = 189;  // 0x40..0xFC

// CP932 codes (lead << 8 | trail, or a single byte) of the EUC-JP-MS two-byte
// characters and of the three-byte ones after 0x8F, at
// (first - 0xA1) * kEucCells + (second - 0xA1); 0 where CP932 has no form.
extern const std::uint16_t kEucTwoByte[kEucCells * kEucCells];
extern const std::uint16_t kEucThreeByte[kEucCells * kEucCells];

// Code points of the single bytes 0x80..0xFF and of the pairs, 0 where none.
extern const std::uint16_t kSingleByteToUnicode[0x80];
extern const std::uint16_t kDoubleByteToUnicode[kLeadBytes * kTrailBytes];

// The CP932 code of every BMP code point, 0 where none (and for U+0000).
extern const std::array<std::uint16_t, 0x10000> kUnicodeToCp932;

// The code point of a byte, ASCII as it is; 0 for lead bytes and unassigned bytes.
inline char32_t DecodeSingle(unsigned char b) {
  return b < 0x80 ? b : kSingleByteToUnicode[b - 0x80];
}

// The code point of a lead byte and trail byte, 0 where unassigned.
inline char32_t DecodePair(unsigned char lead, unsigned char trail) {
  int row = -1;
  if (lead >= 0x81 && lead <= 0x9F) row = lead - 0x81;
  if (lead >= 0xE0 && lead <= 0xFC) row = lead - 0xE0 + 0x9F - 0x81 + 1;
  if (row < 0 || trail < 0x40 || trail > 0xFC) return 0;
  return kDoubleByteToUnicode[row * kTrailBytes + trail - 0x40];
}

// The CP932 code of a code point, 0 where none. Nothing beyond the BMP has one.
inline std::uint16_t Encode(char32_t c) {
  return c <= 0xFFFF ? kUnicodeToCp932[c] : 0;
}

// The tag characters, which iconv turns into nothing at all rather than a fault.
inline bool IsDropped(char32_t c) {
  return c >= 0xE0000 && c <= 0xE007F;
}

}  // namespace valmeric::cp932
