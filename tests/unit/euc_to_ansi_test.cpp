#include "common/text/euc_to_ansi.h"

#include <gtest/gtest.h>

namespace valmeric {
namespace {

TEST(EucToAnsi, ConvertsEachCharacterOrReplacesWhatItCannotRead) {
  struct Case {
    const char* name;
    std::string euc;
    std::string sjis;
  } cases[] = {
      {"ascii", "abc,\"", "abc,\""},
      {"kanji", "\xBB\xA5\xCB\xDA", "\x8E\x44\x96\x79"},
      {"half-width katakana", "\x8E\xB1\x8E\xDF", "\xB1\xDF"},
      {"NEC row 13 circled one", "\xAD\xA1", "\x87\x40"},
      {"NEC symbol shared with row 2", "\xA2\xE8", "\x81\xE6"},
      {"IBM extension in three bytes", "\x8F\xF3\xF3\x8F\xF4\xFB", "\xFA\x40\xFB\xFC"},
      {"JIS X 0212 kanji that is an IBM extension", "\x8F\xD4\xE3", "\xFA\x5C"},
      {"user-defined rows", "\xF5\xA1\x8F\xF5\xA1", "\xF0\x40\xF5\x40"},
      {"JIS X 0212 kanji CP932 lacks", "a\x8F\xB0\xA1z", "a?z"},
      {"unassigned two-byte cell", "\xA2\xAF", "?"},
      {"lone 0x80", "a\x80z", "a?z"},
      {"first byte at the end", "a\xB0", "a?"},
      {"first byte before ASCII",
       "\xB0"
       "a",
       "?a"},
      {"0x8E before a byte beyond the katakana", "\x8E\xE0\xA1", "?\xE0\x9F"},
      {"0x8F cut short", "\x8F\xB0", "??"},
      {"text ends at a zero byte", std::string("ab\0\xB0\xA1", 5), "ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(EucToAnsi(c.euc), c.sjis) << c.name;
}

}  // namespace
}  // namespace valmeric
