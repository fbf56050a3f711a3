// The table-driven converter against iconv itself, character by character.

#include "common/euc_to_ansi.h"

#include <gtest/gtest.h>

#include "common/iconv_converter.h"

namespace valmeric {
namespace {

// What iconv makes of text: a character it cannot convert becomes '?', and a
// malformed byte is skipped alone.
std::string IconvReference(std::string_view euc) {
  thread_local IconvConverter converter("CP932", "EUC-JP-MS");
  return converter.Convert(euc, "?", [](std::string_view text, size_t at) -> size_t {
    const auto b = static_cast<unsigned char>(text[at]);
    if (b == 0x8E) return ByteInRange(text, at + 1, 0xA1, 0xDF) ? 2 : 1;
    if (b == 0x8F) return ByteInRange(text, at + 1, 0xA1, 0xFE) && ByteInRange(text, at + 2, 0xA1, 0xFE) ? 3 : 1;
    if (b >= 0xA1 && b <= 0xFE) return ByteInRange(text, at + 1, 0xA1, 0xFE) ? 2 : 1;
    return 1;
  });
}

TEST(EucToAnsiTables, EveryTwoByteSequenceConvertsAsIconvDoes) {
  int checked = 0;
  for (int lead = 0x80; lead <= 0xFF; ++lead) {
    for (int trail = 0x01; trail <= 0xFF; ++trail) {
      const char bytes[3] = {static_cast<char>(lead), static_cast<char>(trail), 'x'};
      const std::string_view text(bytes, 3);
      ASSERT_EQ(EucToAnsi(text), IconvReference(text)) << std::hex << lead << " " << trail;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 128 * 255);
}

TEST(EucToAnsiTables, EveryThreeByteSequenceConvertsAsIconvDoes) {
  for (int second = 0xA1; second <= 0xFE; ++second) {
    for (int third = 0xA1; third <= 0xFE; ++third) {
      const char bytes[3] = {'\x8F', static_cast<char>(second), static_cast<char>(third)};
      const std::string_view text(bytes, 3);
      ASSERT_EQ(EucToAnsi(text), IconvReference(text)) << std::hex << second << " " << third;
    }
  }
}

}  // namespace
}  // namespace valmeric
