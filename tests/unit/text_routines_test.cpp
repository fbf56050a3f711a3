#include <gtest/gtest.h>

#include "common/network/site_lists.h"
#include "common/text/char_refs.h"
#include "common/text/euc_to_ansi.h"
#include "common/text/split_text.h"
#include "common/text/strip_tags.h"
#include "support/euc.h"

namespace valmeric {
namespace {

using test::Sjis;
using test::ToEuc;

TEST(StripTags, RemovesTagsWithoutReplacement) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"plain text", "plain text"},
      {"<li><a href=\"/x\">name</a></li>", "name"},
      {"a <b", "a <b"},
      {"a > b <c", "a > b <c"},
      {"x<<y>z", "xz"},
      {"a<>b", "ab"},
      {"<i></i>"
       "\x92\x86\x89\x9b\x8b\xe6",
       "\x92\x86\x89\x9b\x8b\xe6"},
      {"1<b>2</b>3", "123"},
  };
  for (const Case& c : cases) EXPECT_EQ(StripTags(c.in), c.out) << c.in;
}

TEST(SplitText, DropsEmptyPiecesAndAppends) {
  struct Case {
    std::string text, delimiter;
    std::vector<std::string> pieces;
  } cases[] = {
      {"a,b,c", ",", {"a", "b", "c"}},
      {",a,,b,", ",", {"a", "b"}},
      {"abc", ",", {"abc"}},
      {"", ",", {}},
      {"a--b", "--", {"a", "b"}},
      {"a-b", "", {"a-b"}},
      {"hospital/0131012345/", "/", {"hospital", "0131012345"}},
      {"1,,01101,110,name", ",", {"1", "01101", "110", "name"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> pieces;
    SplitText(c.text, c.delimiter, pieces);
    EXPECT_EQ(pieces, c.pieces) << c.text;
  }
}

TEST(SplitText, KeepsWhatTheListAlreadyHolds) {
  std::vector<std::string> pieces = {"x"};
  SplitText("a,b", ",", pieces);
  EXPECT_EQ(pieces, (std::vector<std::string>{"x", "a", "b"}));
}

TEST(EucToAnsi, ConvertsTheSitesTextToShiftJis) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"ascii <a href=\"/x\">", "ascii <a href=\"/x\">"},
      {"\xA4\xA2", "\x82\xA0"},  // hiragana a
      {ToEuc("住所：〒060-0001"), Sjis("住所：〒060-0001")},
      {ToEuc("～−①"), Sjis("～－①")},        // wave dash, minus, NEC circled one
      {ToEuc("ｱｲ"), Sjis("ｱｲ")},             // half-width katakana
      {std::string("a\0\xA4\xA2", 4), "a"},  // ends at the first zero byte
  };
  for (const Case& c : cases) EXPECT_EQ(EucToAnsi(c.in), c.out);
}

TEST(EucToAnsi, MalformedInputNeverFailsAndKeepsWhatFollows) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"\xA4"
       "A",
       "?A"},                         // lead byte followed by ASCII
      {"x\xA4", "x?"},                // cut off at the end
      {"\x80\xA4\xA2", "?\x82\xA0"},  // a byte that opens nothing
      {"\xFF\xFF"
       "b",
       "??b"},
  };
  for (const Case& c : cases) EXPECT_EQ(EucToAnsi(c.in), c.out);
}

TEST(EucToAnsi, CharacterShiftJisCannotHoldBecomesReplacement) {
  // JIS X 0212 (three-byte EUC-JP) characters have no CP932 form.
  EXPECT_EQ(EucToAnsi("a\x8F\xB0\xA1"
                      "b"),
            "a?b");
}

TEST(DecodeCharRefs, DecodesTheCommonReferencesWhereShiftJisHoldsThem) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"A&amp;B", "A&B"},
      {"&lt;x&gt;", "<x>"},
      {"&quot;q&quot; &apos;s&#39;", "\"q\" 's'"},
      {"&#x41;&#65;", "AA"},
      {"&#12354;", Sjis("あ")},
      {"&#x1F600;", "&#x1F600;"},       // no CP932 form: stays as written
      {"&copy; &nbsp;x", "&copy;  x"},  // no CP932 form for the copyright sign; a plain space
      {Sjis("3&times;4&hellip;&alpha;"), Sjis("3×4…α")},
      {"&CounterClockwiseContourIntegral; &notaname;",
       "&CounterClockwiseContourIntegral; &notaname;"},
      {"&amp", "&amp"},
      {"&#;&#x;&#-1;", "&#;&#x;&#-1;"},
      {"&#0;", "&#0;"},
      {"&amp;amp;", "&amp;"},  // decoded once only
      {Sjis("医院&amp;歯科"), Sjis("医院&歯科")},
      // A line break, a tab or another control character would break the CSV line.
      {Sjis("北&#13;&#10;病院"), Sjis("北  病院")},
      {"a&#x0A;b&#9;c&Tab;d&NewLine;e", "a b c d e"},
      {"&#1;&#x1F;&#127;&#x85;&#159;", "     "},
      {"&#126;&#xA1;", "~&#xA1;"},
      {"&&&amp;&", "&&&&"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeCharRefs(c.in), c.out) << c.in;
}

TEST(NamedCodes, EachCodeWithItsNameAndCodesOutsideTheListAlone) {
  struct Case {
    std::vector<int> codes;
    bool prefectures;
    const char* separator;
    std::string out;
  } cases[] = {
      {{13, 14}, true, "、", "13 東京都、14 神奈川県"},
      {{1, 10}, false, ", ", "1 内科系, 10 動物病院"},
      {{0, 1, 47, 48}, true, "、", "0、1 北海道、47 沖縄県、48"},
      {{11}, false, ", ", "11"},
      {{}, true, "、", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.prefectures ? NamedCodes(c.codes, kPrefectureNamesUtf8, c.separator)
                            : NamedCodes(c.codes, kCategoryNamesUtf8, c.separator),
              c.out);
  }
}

}  // namespace
}  // namespace valmeric
