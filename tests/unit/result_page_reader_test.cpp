#include "engine/result_page_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "common/network/site_host.h"
#include "common/text/sjis_text.h"
#include "support/euc.h"
#include "support/result_page.h"

namespace valmeric {
namespace {

using test::PageFacility;
using test::Sjis;

class FakeSink final : public ResultPageSink {
 public:
  std::set<std::string> seen;
  std::vector<Record> records;
  std::vector<std::pair<int, int>> statuses;
  int cancel_after_records = -1;  // cancel once this many records are written
  int cancel_after_checks = -1;   // cancel once this many codes are checked

  bool CheckHspCode(const std::string& code) override {
    ++checks_;
    return !seen.insert(code).second;
  }
  void WriteRecord(const Record& record) override { records.push_back(record); }
  void ShowPairStatus(int done, int total) override { statuses.emplace_back(done, total); }
  bool CancelRequested() override {
    return (cancel_after_records >= 0 &&
            static_cast<int>(records.size()) >= cancel_after_records) ||
           (cancel_after_checks >= 0 && checks_ >= cancel_after_checks);
  }

 private:
  int checks_ = 0;
};

PageLines EucLines(const std::vector<std::string>& utf8_lines) {
  return PageLines(test::EucPage(utf8_lines));
}

std::vector<PageFacility> Facilities(int n) {
  std::vector<PageFacility> list;
  for (int i = 1; i <= n; ++i) {
    PageFacility f;
    f.code = "01101" + std::to_string(1000 + i);
    f.name = "札幌中央病院" + std::to_string(i);
    list.push_back(f);
  }
  return list;
}

std::vector<std::string> Codes(const std::vector<Record>& records) {
  std::vector<std::string> codes;
  for (const Record& r : records) codes.push_back(r[kHspCode]);
  return codes;
}

TEST(ResultPageReader, CutsTheEightFieldsOfEachEntry) {
  const auto facilities = Facilities(3);
  FakeSink sink;
  const PairCounts counts = ReadResultPage(EucLines(test::ResultPageLines(3, facilities)), sink);
  EXPECT_EQ(counts.total, 3);
  EXPECT_EQ(counts.done, 3);
  ASSERT_EQ(sink.records.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const auto expected = test::ExpectedFields(facilities[i], kSiteHost);
    EXPECT_EQ(std::vector<std::string>(sink.records[i].begin(), sink.records[i].end()), expected);
  }
  EXPECT_EQ(sink.statuses, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
}

TEST(ResultPageReader, HandlesAsManyEntriesAsAnnouncedAndCountsDuplicates) {
  struct Case {
    int announced;
    int listed;
    int already_seen;  // the first n codes were written earlier in the run
    int expected_done;
    int expected_records;
  } cases[] = {
      {3, 10, 0, 3, 3}, {50, 20, 0, 20, 20}, {3, 10, 3, 3, 0},
      {5, 5, 2, 5, 3},  {0, 5, 0, 0, 0},     {-2, 5, 0, 5, 5},
  };
  for (const Case& c : cases) {
    const auto facilities = Facilities(c.listed);
    FakeSink sink;
    for (int i = 0; i < c.already_seen; ++i)
      sink.seen.insert(facilities[static_cast<size_t>(i)].code);
    const PairCounts counts =
        ReadResultPage(EucLines(test::ResultPageLines(c.announced, facilities)), sink);
    EXPECT_EQ(counts.done, c.expected_done) << c.announced << "/" << c.listed;
    EXPECT_EQ(static_cast<int>(sink.records.size()), c.expected_records) << c.announced;
    EXPECT_EQ(sink.statuses.size(), static_cast<size_t>(c.expected_done));
  }
}

TEST(ResultPageReader, ReadsTheCountOnlyWhenItIsANumberThatFitsAnInt) {
  struct Case {
    std::string count_line;
    std::optional<int> expected;
  } cases[] = {
      {"<span class=\"num\">12</span>件", 12},
      {"<span>1,234</span>", 1234},
      {"<span>12,345,678</span>", 12345678},
      {"<span>１２３</span>", 123},
      {"<span>１，２３４</span>", 1234},
      {"<span> 3 </span>", 3},
      {"<span>　7　</span>", 7},
      {"<span>+5</span>", 5},
      {"<span>0</span>", 0},
      {"<span>2147483647</span>", 2147483647},
      {"<span>12件</span>", std::nullopt},
      {"<span></span>", std::nullopt},
      {"<span> , </span>", std::nullopt},
      {"<span>-3</span>", std::nullopt},
      {"<span>-1</span>", std::nullopt},
      {"<span>1 2</span>", std::nullopt},
      {"no markup at all", std::nullopt},
      {"<span>99999999999</span>", std::nullopt},
      {"<span>2147483648</span>", std::nullopt},
      {"<span>9223372036854775808</span>", std::nullopt},
      {"<span>2^63</span>", std::nullopt},
  };
  for (const Case& c : cases) {
    FakeSink sink;
    const auto lines = EucLines({"<html>", "<section class=\"results_number\">", c.count_line});
    const AnnouncedCount count = ReadResultCount(lines, sink);
    EXPECT_TRUE(count.found) << c.count_line;
    EXPECT_EQ(count.value, c.expected) << c.count_line;
  }
  FakeSink sink;
  const AnnouncedCount at_end =
      ReadResultCount(EucLines({"<section class=\"results_number\">"}), sink);
  EXPECT_TRUE(at_end.found);
  EXPECT_EQ(at_end.value, std::nullopt);
  const AnnouncedCount none =
      ReadResultCount(EucLines({"<div class=\"results_number\">", "<b>4</b>"}), sink);
  EXPECT_FALSE(none.found);
  EXPECT_EQ(none.value, std::nullopt);
  EXPECT_EQ(ReadResultCount(
                EucLines({"<section id=\"a\">", "<b>7</b>", "<section class=\"results_number\">",
                          "<b>4</b>", "<section class=\"results_number\">", "<b>5</b>"}),
                sink)
                .value,
            4);
}

// The result page of the given facilities with its count written as count_text.
std::vector<std::string> PageWithCountText(const std::string& count_text,
                                           const std::vector<PageFacility>& facilities) {
  std::vector<std::string> lines = test::ResultPageLines(0, facilities);
  for (std::string& line : lines) {
    const size_t at = line.find(">0<");
    if (at != std::string::npos) line.replace(at + 1, 1, count_text);
  }
  return lines;
}

// However the count is written, no entry the page lists is lost to it.
TEST(ResultPageReader, ACountThatCannotBeReadStillHasEveryEntryRead) {
  struct Case {
    std::string count_text;
    int listed;
    int expected_total;
    int expected_done;
    bool expected_unreadable;
  } cases[] = {
      {"2", 5, 2, 2, false},
      {"1,234", 5, 1234, 5, false},
      {"３", 5, 3, 3, false},
      {" 3 ", 5, 3, 3, false},
      {"-1", 5, 0, 5, true},
      {"2^63", 4, 0, 4, true},
      {"9223372036854775808", 5, 0, 5, true},
      {"2147483648", 3, 0, 3, true},
      {"", 3, 0, 3, true},
      {"many", 2, 0, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("count \"" + c.count_text + "\"");
    const auto facilities = Facilities(c.listed);
    FakeSink sink;
    const PairCounts counts =
        ReadResultPage(EucLines(PageWithCountText(c.count_text, facilities)), sink);
    EXPECT_EQ(counts.total, c.expected_total);
    EXPECT_EQ(counts.done, c.expected_done);
    EXPECT_EQ(counts.count_unreadable, c.expected_unreadable);
    EXPECT_EQ(static_cast<int>(sink.records.size()), c.expected_done);
    ASSERT_EQ(sink.statuses.size(), static_cast<size_t>(c.expected_done));
    // Without a count, the status counts against the entries read so far.
    const int shown_total = c.expected_unreadable ? c.expected_done : c.expected_total;
    EXPECT_EQ(sink.statuses.back(), std::make_pair(c.expected_done, shown_total));
  }
}

TEST(ResultPageReader, APageWithoutACountYieldsNothingAndNoStatus) {
  std::vector<std::string> lines = test::ResultPageLines(3, Facilities(3));
  lines.erase(lines.begin() + 7, lines.begin() + 9);  // the results section
  FakeSink sink;
  ReadResultPage(EucLines(lines), sink);
  EXPECT_TRUE(sink.records.empty());
  EXPECT_TRUE(sink.statuses.empty());
}

// A page with one entry made of the given lines after its heading and link.
std::vector<std::string> OneEntryPage(
    const std::vector<std::string>& body,
    const std::string& link = "<a href=\"/hospital/77/\">名前</a>") {
  std::vector<std::string> lines = {"<section class=\"results_number\">", "<b>1</b>", "</section>",
                                    "<h1>", link};
  lines.insert(lines.end(), body.begin(), body.end());
  lines.push_back("</body>");
  return lines;
}

Record ReadOne(const std::vector<std::string>& utf8_lines) {
  FakeSink sink;
  ReadResultPage(EucLines(utf8_lines), sink);
  EXPECT_EQ(sink.records.size(), 1u);
  return sink.records.empty() ? Record{} : sink.records[0];
}

TEST(ResultPageReader, LabelledLinesFollowTheAddressBlock) {
  struct Case {
    std::string name;
    std::vector<std::string> body;
    Record expected;  // fields 0, 1 and 7 are checked separately
  } cases[] = {
      {"definition list ends before the block",
       {"</h1>", "<dl>", "</dl>", "<address>TEL.011</address>", "<dd>住所：〒060-0001 札幌</dd>",
        "<dd>最寄駅：札幌駅</dd>", "<dd>診療科目：内科</dd>"},
       {}},
      {"lower-case tel is not a telephone",
       {"<address>tel.011-1</address>", "<dd>住所：〒060-0001 札幌市</dd>", "<dd>x</dd>",
        "<dd>y</dd>"},
       {"", "", "〒060-0001", "札幌市", "", "", "", ""}},
      {"a space after the label stays",
       {"<address>TEL. 011-1</address>", "<dd>x</dd>", "<dd>y</dd>", "<dd>z</dd>"},
       {"", "", "", "", " 011-1", "", "", ""}},
      {"short address text",
       {"<address>TEL.1</address>", "<dd>住所：〒060-0001</dd>", "<dd>x</dd>", "<dd>y</dd>"},
       {"", "", "〒060-0001", "", "1", "", "", ""}},
      {"ideographic and html spaces fold",
       {"<address>TEL.1</address>", "<dd>住所：〒060-0001　札幌市&nbsp;中央区</dd>",
        "<dd>ここから最寄駅：大通駅&nbsp;&nbsp;徒歩1分 <a href=\"#\">地図を表示</a></dd>",
        "<dd>診療科目：内科、外科 </dd>"},
       {"", "", "〒060-0001", "札幌市 中央区", "1", "大通駅 徒歩1分", "内科、外科", ""}},
      {"references decode after the postal cut",
       {"<address>TEL.1</address>", "<dd>住所：〒060-0001 &amp;ビル&#x41;</dd>",
        "<dd>最寄駅：&quot;駅&quot;</dd>", "<dd>診療科目：A&lt;B&apos;s</dd>"},
       {"", "", "〒060-0001", "&ビルA", "1", "\"駅\"", "A<B's", ""}},
      {"references to line breaks and tabs become spaces",
       {"<address>TEL.1</address>", "<dd>住所：〒060-0001 札幌市&#13;&#10;中央区</dd>",
        "<dd>最寄駅：大通駅&#9;徒歩1分</dd>", "<dd>診療科目：内科&#x0A;外科</dd>"},
       {"", "", "〒060-0001", "札幌市  中央区", "1", "大通駅 徒歩1分", "内科 外科", ""}},
      {"no postal code: a character at byte ten goes whole to the address",
       {"<address>TEL.1</address>", "<dd>住所：札幌市 中央区</dd>", "<dd>x</dd>", "<dd>y</dd>"},
       {"", "", "札幌市 中", "央区", "1", "", "", ""}},
      {"short postal code: a character at byte ten goes whole to the address",
       {"<address>TEL.1</address>", "<dd>住所：〒680-01 鳥取市</dd>", "<dd>x</dd>", "<dd>y</dd>"},
       {"", "", "〒680-01 ", "鳥取市", "1", "", "", ""}},
      {"a character that ends at byte ten stays in the postal code",
       {"<address>TEL.1</address>", "<dd>住所：札幌市中央区北一条</dd>", "<dd>x</dd>",
        "<dd>y</dd>"},
       {"", "", "札幌市中央", "区北一条", "1", "", "", ""}},
      {"departments line without its label",
       {"<address>TEL.1</address>", "<dd>住所：〒060-0001 札幌</dd>", "<dd>最寄駅：駅</dd>"},
       {"", "", "〒060-0001", "札幌", "1", "駅", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Record record = ReadOne(OneEntryPage(c.body));
    EXPECT_EQ(record[kHspCode], "77");
    EXPECT_EQ(record[kName], Sjis("名前"));
    EXPECT_EQ(record[kDetailUrl], std::string("https://") + kSiteHost + "/hospital/77/");
    for (size_t f = 2; f <= 6; ++f) EXPECT_EQ(record[f], Sjis(c.expected[f])) << "field " << f;
  }
}

TEST(ResultPageReader, LabelledLinesNeedAllThreeLinesOnThePage) {
  std::vector<std::string> lines = {"<section class=\"results_number\">",
                                    "<b>1</b>",
                                    "<h1>",
                                    "<a href=\"/h/5/\">名</a>",
                                    "<address>TEL.1</address>",
                                    "<dd>住所：〒060-0001 札幌</dd>",
                                    "<dd>最寄駅：駅</dd>"};
  const Record record = ReadOne(lines);
  EXPECT_EQ(record[kHspCode], "5");
  // Without a third line after the telephone, none of the labelled lines is read.
  EXPECT_EQ(record[kTelephone], "1");
  EXPECT_EQ(record[kPostalCode], "");
  EXPECT_EQ(record[kStation], "");
  lines.push_back("<dd>診療科目：内科</dd>");
  lines.push_back("</dl>");
  const Record full = ReadOne(lines);
  EXPECT_EQ(full[4], "1");
  EXPECT_EQ(full[2], Sjis("〒060-0001"));
  EXPECT_EQ(full[6], Sjis("内科"));
}

TEST(ResultPageReader, NameAndCodeComeFromTheLink) {
  struct Case {
    std::string link;
    std::string code, name, detail_path;
  } cases[] = {
      {"<a href=\"/hospital/77/\">A&amp;B &quot;C&quot;</a>", "77", "A&B \"C\"", "hospital/77/"},
      {"<a href=\"/a/b/c\">x</a>", "c", "x", "a/b/c"},
      {"<a href=\"/hospital/78/\">北&#13;&#10;病院&#9;</a>", "78", "北  病院 ", "hospital/78/"},
      {"<a href=\"/animal/79/?from=list\">x</a>", "79", "x", "animal/79/"},
      {"<a href=\"/animal/80/#detail\">x</a>", "80", "x", "animal/80/"},
      {"<a href=\"/animal/81?from=list&amp;p=2#top\">x</a>", "81", "x", "animal/81"},
      {"<a href=\"/animal/82/#a/b\">x</a>", "82", "x", "animal/82/"},
      {"<a href=\"/hospital/O'Neil/\">x</a>", "O'Neil", "x", "hospital/O'Neil/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    FakeSink sink;
    const PairCounts counts =
        ReadResultPage(EucLines(OneEntryPage({"<dd>", "<dd>"}, c.link)), sink);
    ASSERT_EQ(sink.records.size(), 1u);
    const Record& record = sink.records[0];
    EXPECT_EQ(record[kHspCode], c.code);
    EXPECT_EQ(record[kName], Sjis(c.name));
    EXPECT_EQ(record[kDetailUrl], std::string("https://") + kSiteHost + "/" + c.detail_path);
    EXPECT_EQ(counts.skipped, 0);
  }
}

// A link with a query or a fragment must not give every facility of a run
// one code, which the duplicate filter would then keep to the first.
TEST(ResultPageReader, LinksWithAQueryOrFragmentKeepTheirFacilitiesApart) {
  for (const std::string suffix : {"?from=list", "#detail", "?from=list#detail"}) {
    SCOPED_TRACE(suffix);
    const auto facilities = Facilities(3);
    std::vector<std::string> lines = test::ResultPageLines(3, facilities);
    for (std::string& line : lines) {
      const size_t at = line.find("/\">");
      if (line.find("/hospital/") != std::string::npos && at != std::string::npos)
        line.insert(at + 1, suffix);
    }
    FakeSink sink;
    const PairCounts counts = ReadResultPage(EucLines(lines), sink);
    EXPECT_EQ(counts.done, 3);
    EXPECT_EQ(Codes(sink.records), (std::vector<std::string>{facilities[0].code, facilities[1].code,
                                                             facilities[2].code}));
  }
}

TEST(ResultPageReader, EntriesWithoutAUsableLinkAreSkippedAndNotCounted) {
  for (const std::string link :
       {"<a name=\"top\">x</a>", "<a href=\"/hospital/9/>x</a>", "<a href=\"/\">x</a>",
        "<a href=\"//\">x</a>", "<a  href=\"/x/&amp;1/\">y</a>", "<a href=\"/x/a b/\">y</a>",
        "<a href=\"/?from=list\">y</a>", "<a href=\"/#top\">y</a>", "<a href=\"/x/a&b/\">y</a>",
        "<a href=\"/x/a\tb/\">y</a>"}) {
    FakeSink sink;
    const PairCounts counts = ReadResultPage(EucLines(OneEntryPage({"<dd>"}, link)), sink);
    EXPECT_TRUE(sink.records.empty()) << link;
    EXPECT_TRUE(sink.statuses.empty()) << link;
    EXPECT_EQ(counts.done, 0) << link;
    EXPECT_EQ(counts.skipped, 1) << link;
  }
}

// The entry after a skipped one is still read, and the skipped one takes its
// place within the announced count.
TEST(ResultPageReader, ASkippedEntryLeavesTheOthersOfThePage) {
  const auto facilities = Facilities(3);
  std::vector<std::string> lines = test::ResultPageLines(3, facilities);
  for (std::string& line : lines) {
    const size_t at = line.find("/hospital/" + facilities[1].code + "/");
    if (at != std::string::npos) line.insert(at + 10, "a b");
  }
  FakeSink sink;
  const PairCounts counts = ReadResultPage(EucLines(lines), sink);
  EXPECT_EQ(Codes(sink.records),
            (std::vector<std::string>{facilities[0].code, facilities[2].code}));
  EXPECT_EQ(counts.done, 2);
  EXPECT_EQ(counts.skipped, 1);
}

TEST(ResultPageReader, EntriesInsideCommentsAreNoEntries) {
  const std::vector<std::string> entry = {"<h1>", "<a href=\"/hospital/5/\">commented</a>",
                                          "</h1>"};
  struct Case {
    std::string name;
    std::vector<std::string> before, after;  // around the commented-out entry
  } cases[] = {
      {"a comment over lines", {"<!--"}, {"-->"}},
      {"a comment opened at a line's end", {"<div><!-- old entry"}, {"end of it --></div>"}},
      {"a comment that ends and opens again", {"<!-- a --> <!-- b"}, {"-->"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> lines = {"<section class=\"results_number\">", "<b>2</b>",
                                      "</section>", "<!-- one line -->"};
    lines.insert(lines.end(), c.before.begin(), c.before.end());
    lines.insert(lines.end(), entry.begin(), entry.end());
    lines.insert(lines.end(), c.after.begin(), c.after.end());
    for (const std::string code : {"6", "7"}) {
      lines.insert(lines.end(), {"<h1>", "<a href=\"/hospital/" + code + "/\">x</a>", "</h1>"});
    }
    lines.push_back("</body>");
    FakeSink sink;
    const PairCounts counts = ReadResultPage(EucLines(lines), sink);
    EXPECT_EQ(Codes(sink.records), (std::vector<std::string>{"6", "7"}));
    EXPECT_EQ(counts.done, 2);
    EXPECT_EQ(counts.skipped, 0);
  }
}

// A cancel that comes while an entry is read lets that entry be read whole,
// with every field, and then stops the page; the caller takes back a page
// cut short, so only a page read to its end is kept.
TEST(ResultPageReader, CancellingStillWritesTheEntryBeingReadWhole) {
  struct Case {
    int announced_and_listed;
    int cancel_after_records;  // -1: not this way
    int cancel_after_checks;   // -1: not this way; k: while entry k's fields are read
    int expected_records;
    bool expected_cut_short;
  } cases[] = {
      {5, 1, -1, 1, true},
      {5, -1, 1, 1, true},
      {3, -1, 3, 3, false},  // the last entry: the page is complete, nothing to take back
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.announced_and_listed << " " << c.cancel_after_records
                                    << " " << c.cancel_after_checks);
    const auto facilities = Facilities(c.announced_and_listed);
    FakeSink sink;
    sink.cancel_after_records = c.cancel_after_records;
    sink.cancel_after_checks = c.cancel_after_checks;
    const PairCounts counts =
        ReadResultPage(EucLines(test::ResultPageLines(c.announced_and_listed, facilities)), sink);
    ASSERT_EQ(sink.records.size(), static_cast<size_t>(c.expected_records));
    EXPECT_EQ(counts.done, c.expected_records);
    EXPECT_EQ(counts.cut_short, c.expected_cut_short);
    for (size_t i = 0; i < sink.records.size(); ++i) {
      EXPECT_EQ(std::vector<std::string>(sink.records[i].begin(), sink.records[i].end()),
                test::ExpectedFields(facilities[i], kSiteHost));
    }
  }
}

}  // namespace
}  // namespace valmeric
