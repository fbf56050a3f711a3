#include "engine/result_page_reader.h"

#include <gtest/gtest.h>

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

  bool CheckHspCode(const std::string& code) override { return !seen.insert(code).second; }
  void WriteRecord(const Record& record) override { records.push_back(record); }
  void ShowPairStatus(int done, int total) override { statuses.emplace_back(done, total); }
  bool CancelRequested() override {
    return cancel_after_records >= 0 && static_cast<int>(records.size()) >= cancel_after_records;
  }
};

std::vector<std::string> EucLines(const std::vector<std::string>& utf8_lines) {
  return SplitLines(test::EucPage(utf8_lines));
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
      {5, 5, 2, 5, 3},  {0, 5, 0, 0, 0},     {-2, 5, 0, 0, 0},
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

TEST(ResultPageReader, ReadsTheCountOnlyWhenItIsAPlainInteger) {
  struct Case {
    std::string count_line;
    int expected;
  } cases[] = {
      {"<span class=\"num\">12</span>件", 12},
      {"<span>1,234</span>", 0},
      {"<span>12件</span>", 0},
      {"<span></span>", 0},
      {"<span>-3</span>", -3},
      {"no markup at all", 0},
      {"<span>99999999999</span>", 0},
  };
  for (const Case& c : cases) {
    FakeSink sink;
    const auto lines = EucLines({"<html>", "<section class=\"results_number\">", c.count_line});
    EXPECT_EQ(ReadResultCount(lines, sink), c.expected) << c.count_line;
  }
  FakeSink sink;
  EXPECT_EQ(ReadResultCount(EucLines({"<section class=\"results_number\">"}), sink), 0);
  EXPECT_EQ(ReadResultCount(EucLines({"<div class=\"results_number\">", "<b>4</b>"}), sink), 0);
  EXPECT_EQ(ReadResultCount(
                EucLines({"<section id=\"a\">", "<b>7</b>", "<section class=\"results_number\">",
                          "<b>4</b>", "<section class=\"results_number\">", "<b>5</b>"}),
                sink),
            4);
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
    std::string code, name;
  } cases[] = {
      {"<a href=\"/hospital/77/\">A&amp;B &quot;C&quot;</a>", "77", "A&B \"C\""},
      {"<a href=\"/a/b/c\">x</a>", "c", "x"},
      {"<a  href=\"/x/&amp;1/\">y</a>", "&amp;1", "y"},
      {"<a href=\"/hospital/78/\">北&#13;&#10;病院&#9;</a>", "78", "北  病院 "},
  };
  for (const Case& c : cases) {
    const Record record = ReadOne(OneEntryPage({"<dd>", "<dd>"}, c.link));
    EXPECT_EQ(record[kHspCode], c.code);
    EXPECT_EQ(record[kName], Sjis(c.name));
  }
}

TEST(ResultPageReader, EntriesWithoutAUsableLinkAreSkippedAndNotCounted) {
  for (const std::string link : {"<a name=\"top\">x</a>", "<a href=\"/hospital/9/>x</a>",
                                 "<a href=\"/\">x</a>", "<a href=\"//\">x</a>"}) {
    FakeSink sink;
    ReadResultPage(EucLines(OneEntryPage({"<dd>"}, link)), sink);
    EXPECT_TRUE(sink.records.empty()) << link;
    EXPECT_TRUE(sink.statuses.empty()) << link;
  }
}

TEST(ResultPageReader, CancellingStillWritesTheEntryBeingRead) {
  FakeSink sink;
  sink.cancel_after_records = 1;
  const PairCounts counts = ReadResultPage(EucLines(test::ResultPageLines(5, Facilities(5))), sink);
  EXPECT_EQ(Codes(sink.records), (std::vector<std::string>{Facilities(1)[0].code}));
  EXPECT_EQ(counts.done, 1);
  // Fields are complete even though the run was cancelled while reading them.
  EXPECT_EQ(sink.records[0][6], Sjis("内科、小児科"));
}

}  // namespace
}  // namespace valmeric
