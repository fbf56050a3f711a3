#include "common/text/text_encoding.h"

#include <gtest/gtest.h>

namespace valmeric {
namespace {

TEST(TextEncoding, Utf8AndShiftJisRoundTrip) {
  const std::string samples[] = {"", "abc", "札幌市中央区", "①～ｱ", "O'Brien \"x\""};
  for (const std::string& utf8 : samples) EXPECT_EQ(SjisToUtf8(Utf8ToSjis(utf8)), utf8);
  EXPECT_EQ(Utf8ToSjis("あ"), "\x82\xA0");
}

TEST(TextEncoding, Utf8ToShiftJisReplacesWhatCp932CannotHold) {
  struct Case {
    const char* name;
    std::string utf8;
    std::string sjis;
  } cases[] = {
      {"emoji", "a\xF0\x9F\x98\x80z", "a?z"},
      {"broken UTF-8", "a\xC3z", "a?z"},
      {"sequence cut short before a letter", "a\xE3\x81z", "a?z"},
      {"overlong form", "\xE0\x80\xAF", "?"},
      {"surrogate", "\xED\xA0\x80", "?"},
      {"five-byte form", "\xF8\x88\x80\x80\x80", "??"},
      {"stray continuation bytes", "\x80\xBF", "??"},
      {"tag character vanishes", "a\xF3\xA0\x80\x81z", "az"},
      {"yen sign and overline become ASCII", "¥‾", "\\~"},
      {"NEC forms before IBM ones", "∵Ⅰ", "\x81\xE6\x87\x54"},
      {"IBM forms before NEC-selected ones", "ⅰ纊", "\xFA\x40\xFA\x5C"},
      {"private use area", "\xEE\x80\x80", "\xF0\x40"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToSjis(c.utf8), c.sjis) << c.name;
}

TEST(TextEncoding, ShiftJisToUtf8ReplacesWhatItCannotRead) {
  struct Case {
    const char* name;
    std::string sjis;
    std::string utf8;
  } cases[] = {
      {"lead byte without a trail", "a\x82\x01z", "a\xEF\xBF\xBD\x01z"},
      {"unassigned pair", "\x85\x40z", "\xEF\xBF\xBDz"},
      {"trail byte 0x7F", "\x82\x7Fz", "\xEF\xBF\xBDz"},
      {"lead byte at the end", "a\x82", "a\xEF\xBF\xBD"},
      {"bytes that are no character", "\x80\xA0\xFD", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"NEC-selected IBM extension", "\xED\x40", "纊"},
      {"user-defined area", "\xF0\x40", "\xEE\x80\x80"},
      {"backslash and tilde stay ASCII", "\x5C\x7E\x82\xA0", "\\~あ"},
  };
  for (const Case& c : cases) EXPECT_EQ(SjisToUtf8(c.sjis), c.utf8) << c.name;
}

TEST(TextEncoding, AppendsCodePointsCp932HoldsAndRefusesTheRest) {
  struct Case {
    char32_t code_point;
    const char* sjis;  // nullptr: refused
  } cases[] = {
      {0x3042, "\x82\xA0"}, {0x41, "A"},        {0xA5, "\x5C"},     {0x2160, "\x87\x54"},
      {0xE000, "\xF0\x40"}, {0, nullptr},       {0x1F600, nullptr}, {0xD800, nullptr},
      {0x110000, nullptr},  {0xE0001, nullptr}, {0xFFFD, nullptr},
  };
  for (const Case& c : cases) {
    std::string out = "kept:";
    EXPECT_EQ(AppendCodePointAsSjis(c.code_point, out), c.sjis != nullptr)
        << std::hex << static_cast<unsigned>(c.code_point);
    EXPECT_EQ(out, std::string("kept:") + (c.sjis ? c.sjis : ""))
        << std::hex << static_cast<unsigned>(c.code_point);
  }
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
      {"trail byte 0x7F", "a\x82\x7F", 1},
      {"user-defined area", "\xF0\x40\xF9\xFC", std::string::npos},
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
      {"surrogate", "a\xED\xA0\x80", 1},
      {"tag character, dropped without a fault", "a\xF3\xA0\x80\x81z", std::string::npos},
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
