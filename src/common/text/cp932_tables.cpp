#include "common/text/cp932_tables.h"

namespace valmeric::cp932 {
namespace {

struct Encoding {
  std::uint16_t unicode;
  std::uint16_t code;
};

}  // namespace

#include "common/text/cp932_tables.inc"

namespace {

// The decoding tables read backwards, a later code winning over an earlier
// one for the same code point, then the exceptions iconv makes.
constexpr std::array<std::uint16_t, 0x10000> BuildEncodeTable() {
  std::array<std::uint16_t, 0x10000> table{};
  for (unsigned c = 0; c < 0x80; ++c) table[c] = static_cast<std::uint16_t>(c);
  for (unsigned i = 0; i < 0x80; ++i) {
    if (kSingleByteToUnicode[i] != 0)
      table[kSingleByteToUnicode[i]] = static_cast<std::uint16_t>(0x80 + i);
  }
  for (unsigned i = 0; i < kLeadBytes * kTrailBytes; ++i) {
    const unsigned row = i / kTrailBytes;
    const unsigned lead = row <= 0x9F - 0x81 ? 0x81 + row : 0xE0 + row - (0x9F - 0x81 + 1);
    const unsigned trail = 0x40 + i % kTrailBytes;
    if (kDoubleByteToUnicode[i] != 0)
      table[kDoubleByteToUnicode[i]] = static_cast<std::uint16_t>(lead << 8 | trail);
  }
  for (const Encoding& e : kEncodeExceptions) table[e.unicode] = e.code;
  return table;
}

}  // namespace

constexpr std::array<std::uint16_t, 0x10000> kUnicodeToCp932 = BuildEncodeTable();

}  // namespace valmeric::cp932
