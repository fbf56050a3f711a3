#include "common/text/sjis_text.h"

#include <gtest/gtest.h>

#include "common/text/page_lines.h"
#include "support/euc.h"
#include "support/temp_dir.h"

namespace valmeric {
namespace {

using test::Sjis;

TEST(Trim, DropsControlBytesAndSpacesButNotIdeographicSpace) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"  \t\r\n", ""},
      {" a b ", "a b"},
      {std::string("\x01\x1f"
                   "x"
                   "\x7f",
                   4),
       "x\x7f"},
      {"\x81\x40"
       "a"
       "\x81\x40",
       "\x81\x40"
       "a"
       "\x81\x40"},
  };
  for (const Case& c : cases) EXPECT_EQ(Trim(c.in), c.out) << c.in;
}

TEST(Find, PositionsAreOneBasedAndNeverInsideADoubleByteCharacter) {
  // 0x83 0x54 is katakana "サ"; its trail byte 0x54 is "T".
  const std::string tricky =
      "\x83"
      "TEL"
      "TEL";
  struct Case {
    std::string text, sub;
    int expected;
  } cases[] = {
      {"abc", "b", 2},    {"abc", "", 0},        {"", "a", 0},
      {"abc", "abcd", 0}, {"aXa", "a", 1},       {"abc", "B", 0},
      {tricky, "TEL", 5}, {"\x83TEL", "TEL", 0}, {Sjis("住所：〒"), Sjis("〒"), 7},
  };
  for (const Case& c : cases) EXPECT_EQ(Find(c.text, c.sub), c.expected) << c.text;
}

TEST(FindBytes, MatchesAnywhere) {
  EXPECT_EQ(FindBytes("<section class=\"results_number\">", "results_number"), 17);
  EXPECT_EQ(FindBytes("abc", "x"), 0);
}

TEST(Cut, ClampsLikeTheCopyPrimitive) {
  struct Case {
    std::string text;
    int index, count;
    std::string out;
  } cases[] = {
      {"abcdef", 2, 3, "bcd"}, {"abcdef", 5, 10, "ef"}, {"abcdef", 7, 1, ""},  {"abcdef", 1, 0, ""},
      {"abcdef", 0, 2, "ab"},  {"abcdef", -3, 2, "ab"}, {"abcdef", 3, -1, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Cut(c.text, c.index, c.count), c.out);
}

TEST(ReplaceAll, IgnoresAsciiCaseKeepsTheRestAndSkipsTrailBytes) {
  struct Case {
    std::string text, pattern, replacement, out;
  } cases[] = {
      {"TEL.011", "TEL.", "", "011"},
      {"tel.011 Tel.022", "TEL.", "", "011 022"},
      {"city_no=101\">", "city_no=", "", "101\">"},
      {"CITY_NO=7\">", "city_no=", "", "7\">"},
      {"a   b", "  ", " ", "a  b"},
      {"aaa", "aa", "b", "ba"},
      {"abc", "", "x", "abc"},
      // "サ" is 0x83 0x54 ("T" as trail byte): no match may start at the trail byte.
      {"\x83"
       "EL.x",
       "TEL.", "",
       "\x83"
       "EL.x"},
      {"\x83"
       "ETEL.x",
       "TEL.", "",
       "\x83"
       "Ex"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReplaceAll(c.text, c.pattern, c.replacement), c.out) << c.text;
}

TEST(ReplaceAll, ReplacesJapaneseLabels) {
  EXPECT_EQ(ReplaceAll(Sjis("住所：〒060-0001 札幌"), Sjis("住所："), ""), Sjis("〒060-0001 札幌"));
  EXPECT_EQ(ReplaceAll(Sjis("a　b"), "\x81\x40", " "), "a b");
}

TEST(SplitLines, EndsLinesAtCrLfCrOrLfAndTheTextAtItsFirstZero) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
      {"a\n", {"a"}},
      {"a\n\r", {"a", ""}},
      {"\n\n", {"", ""}},
      {std::string("ab\0cd\nef", 8), {"ab"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitLines(c.text), c.lines);
    const PageLines page(c.text);  // a page's lines split alike
    std::vector<std::string> page_lines;
    for (size_t i = 0; i < page.size(); ++i) page_lines.emplace_back(page[i]);
    EXPECT_EQ(page_lines, c.lines) << c.text;
  }
}

// A long run of blank lines keeps its first lines, so readers that look a few
// lines ahead see it as before, and the lines after it keep their numbers.
TEST(PageLines, KeepsTheStartOfALongBlankRunAndNumbersLinesAsInThePage) {
  const size_t kept = PageLines::kBlankRunKept;
  const PageLines page("a\n" + std::string(1000, '\n') + "b\r\n \t\r\n" + std::string(40, '\r') +
                       "c");
  ASSERT_EQ(page.size(), 1 + kept + 1 + kept + 1);
  EXPECT_EQ(page[kept], "");
  EXPECT_EQ(page[kept + 1], "b");
  EXPECT_EQ(page.Number(kept + 1), 1002u);
  EXPECT_EQ(page[page.size() - 1], "c");
  EXPECT_EQ(page.Number(page.size() - 1), 1002u + 1 + 40 + 1);
  EXPECT_EQ(page.Number(kept), kept + 1);

  test::TempDir dir;
  test::WriteFile(dir.File("page.txt"), "one\r\ntwo\r\n");
  const PageLines loaded = PageLines::Load(dir.File("page.txt"));
  EXPECT_EQ(loaded.size(), 2u);
  EXPECT_EQ(loaded[1], "two");
  EXPECT_THROW(PageLines::Load(dir.File("missing.txt")), std::runtime_error);
}

// A run's cancel ends the splitting of a page of millions of lines at once,
// instead of after the whole page.
TEST(PageLines, AStopRequestEndsTheSplittingEarly) {
  std::string text;
  for (int i = 0; i < 1'000'000; ++i) text += "x\n";
  for (const bool stop : {false, true}) {
    int asked = 0;
    const PageLines page(text, [&] {
      ++asked;
      return stop;
    });
    EXPECT_GE(asked, 1);
    if (stop) {
      EXPECT_EQ(asked, 1);
      EXPECT_LT(page.size(), 100'000u);
    } else {
      EXPECT_EQ(page.size(), 1'000'000u);
    }
  }
}

TEST(HasAt, ComparesBytesAtAPosition) {
  EXPECT_TRUE(HasAt("<h1>", 2, "h1>"));
  EXPECT_FALSE(HasAt("<h1", 2, "h1>"));
  EXPECT_FALSE(HasAt("<h1>", 0, "<h1"));
  EXPECT_TRUE(HasAt("<li><i>", 3, "i><i"));
  EXPECT_FALSE(HasAt("ab", 4, ""));
}

}  // namespace
}  // namespace valmeric
