#include "common/text_encoding.h"

#include <gtest/gtest.h>

namespace valmeric {
namespace {

TEST(TextEncoding, Utf8AndShiftJisRoundTrip) {
  const std::string samples[] = {"", "abc", "札幌市中央区", "①～ｱ", "O'Brien \"x\""};
  for (const std::string& utf8 : samples) EXPECT_EQ(SjisToUtf8(Utf8ToSjis(utf8)), utf8);
  EXPECT_EQ(Utf8ToSjis("あ"), "\x82\xA0");
}

TEST(TextEncoding, WhatCannotBeConvertedBecomesAReplacement) {
  EXPECT_EQ(Utf8ToSjis("a\xF0\x9F\x98\x80z"), "a?z");  // emoji
  EXPECT_EQ(Utf8ToSjis("a\xC3z"), "a?z");               // broken UTF-8
  EXPECT_EQ(SjisToUtf8("a\x82\x01z"), "a\xEF\xBF\xBD\x01z");  // lead byte without a trail
}

TEST(TextEncoding, CodePointsOutsideShiftJisAreRefused) {
  std::string out;
  EXPECT_TRUE(AppendCodePointAsSjis(0x3042, out));
  EXPECT_EQ(out, "\x82\xA0");
  EXPECT_FALSE(AppendCodePointAsSjis(0x1F600, out));
  EXPECT_FALSE(AppendCodePointAsSjis(0xD800, out));
  EXPECT_FALSE(AppendCodePointAsSjis(0x110000, out));
  EXPECT_EQ(out, "\x82\xA0");
}

}  // namespace
}  // namespace valmeric

namespace valmeric {
namespace {

TEST(CheckedShiftJis, FindsTheFirstByteThatIsNoCharacter) {
  struct Case {
    const char* name;
    std::string text;
    size_t bad_at;
  } cases[] = {
      {"ascii and kanji", "a" + Utf8ToSjis("札幌") + "\"", std::string::npos},
      {"half-width katakana", "\xB1\xDF", std::string::npos},
      {"NEC and IBM extensions", "\x87\x40\xED\x40\xFA\x40", std::string::npos},
      {"lone 0x80", "ab\x80", 2},
      {"lone 0xA0", "\xA0", 0},
      {"lone 0xFD", "x\xFD", 1},
      {"lead byte at the end", "ab\x82", 2},
      {"lead byte before a quote", "\x82\"", 0},
      {"lead byte before a comma", "a\x95,", 1},
      {"unassigned row 0x85", "\x82\xA0\x85\x40", 2},
  };
  for (const Case& c : cases) EXPECT_EQ(FindInvalidSjis(c.text), c.bad_at) << c.name;
}

TEST(CheckedUtf8, ConvertsOrNamesTheOffsetOfTheFault) {
  struct Case {
    const char* name;
    std::string utf8;
    size_t bad_at;
  } cases[] = {
      {"ascii", "abc,\"", std::string::npos},
      {"kanji and circled digit", "札幌①", std::string::npos},
      {"truncated sequence", "ab\xE6\x9C", 2},
      {"stray continuation byte", "札\x80", 3},
      {"emoji CP932 cannot hold", "a\xF0\x9F\x98\x80z", 1},
      {"overlong slash", "\xC0\xAF", 0},
  };
  for (const Case& c : cases) {
    std::string out = "kept:";
    EXPECT_EQ(AppendUtf8AsSjisChecked(c.utf8, out), c.bad_at) << c.name;
    if (c.bad_at == std::string::npos) {
      EXPECT_EQ(out, "kept:" + Utf8ToSjis(c.utf8)) << c.name;
    }
  }
}

}  // namespace
}  // namespace valmeric
