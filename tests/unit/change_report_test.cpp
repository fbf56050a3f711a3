#include "engine/change_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text/text_encoding.h"
#include "support/csv_headers.h"
#include "support/euc.h"
#include "support/excel_csv.h"
#include "support/temp_dir.h"

namespace valmeric {
namespace {

// Hand-written files: UTF-8 text here, turned into the file's encoding below.
using test::kCsvHeader;
using test::kReportHeader;

using Fields = std::vector<std::string>;

// A facility whose every field is told apart by its code.
Fields Facility(const std::string& code) {
  return {code,
          code + "内科クリニック",
          "〒060-00" + code.substr(code.size() - 2),
          "北海道札幌市中央区北" + code + "条",
          "011-222-" + code,
          "札幌駅 徒歩" + code + "分",
          "内科、消化器内科",
          "https://hospital-directory.example/hospital/" + code + "/"};
}

Fields With(Fields fields, size_t column, const std::string& value) {
  fields[column] = value;
  return fields;
}

std::string Line(const Fields& fields) {
  std::string line;
  for (const std::string& field : fields) line += "\"" + field + "\",";
  return line;
}

std::string Text(const std::string& header, const std::vector<std::string>& lines) {
  std::string text = header + "\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::string InEncoding(const std::string& utf8, CsvEncoding encoding) {
  return encoding == CsvEncoding::kUtf8 ? "\xEF\xBB\xBF" + utf8 : test::Sjis(utf8);
}

std::string CsvBytes(const std::vector<Fields>& records,
                     CsvEncoding encoding = CsvEncoding::kCp932) {
  std::vector<std::string> lines;
  for (const Fields& record : records) lines.push_back(Line(record));
  return InEncoding(Text(kCsvHeader, lines), encoding);
}

std::string ReportLine(const char* kind, const Fields& fields, const std::string& changed = "") {
  return "\"" + std::string(kind) + "\"," + Line(fields) + "\"" + changed + "\",";
}

// The report's lines as UTF-8, without the header.
std::vector<std::string> ReportLines(const CsvTable& old_run, const CsvTable& new_run) {
  std::vector<std::string> lines;
  for (const Change& change : CompareRuns(old_run, new_run)) {
    lines.push_back(SjisToUtf8(FormatChangeLine(change)));
  }
  return lines;
}

TEST(ChangeReport, HeaderAddsTheKindAndTheChangedColumns) {
  EXPECT_EQ(ChangeReportHeaderLine(), test::Sjis(kReportHeader));
}

TEST(ChangeReport, ListsNewThenChangedInNewOrderThenGoneInOldOrder) {
  const Fields a = Facility("11"), b = Facility("12"), c = Facility("13"), d = Facility("14"),
               e = Facility("15"), f = Facility("16"), g = Facility("17");
  const Fields b2 = With(With(b, 3, "北海道札幌市北区1-1"), 4, "011-999-0000");
  const Fields d2 = With(d, 4, "011-999-1111");
  // Fields that start like a formula: an older build wrote them without the apostrophe.
  const Fields h = With(Facility("18"), 1, "=HYPERLINK(\"\"http://e.example/\"\")");
  const Fields h_guarded = With(h, 1, "'" + h[1]);
  const Fields m = With(With(Facility("19"), 0, "-19"), 5, "+駅");
  const Fields m_guarded = With(With(m, 0, "'-19"), 5, "'+駅");
  const Fields own = With(Facility("20"), 1, "'さくら");  // the name's own apostrophe
  const Fields own_dropped = With(own, 1, "さくら");
  const Fields n = With(Facility("22"), 4, "-");
  const Fields n_moved = With(n, 3, "北海道札幌市北区2-2");
  // Codes that a spreadsheet took for numbers, and codes of their own.
  const Fields z = Facility("0123"), z_number = With(z, 0, "123");
  const Fields y = Facility("0456"), y_changed = With(With(y, 0, "456"), 4, "011-999-2222");
  const Fields x = Facility("00123"), x_number = With(x, 0, "123");
  struct Case {
    const char* name;
    std::vector<Fields> old_run, new_run;
    std::vector<std::string> report;
  } cases[] = {
      {"mixed",
       {a, b, c, d, g},
       {e, d2, b2, f, a},
       {ReportLine("新規", e), ReportLine("新規", f), ReportLine("変更", d2, "電話番号"),
        ReportLine("変更", b2, "住所・電話番号"), ReportLine("廃止", c), ReportLine("廃止", g)}},
      {"same facilities in another order", {a, b, c}, {c, a, b}, {}},
      {"empty old run", {}, {b, a}, {ReportLine("新規", b), ReportLine("新規", a)}},
      {"empty new run", {c, a}, {}, {ReportLine("廃止", c), ReportLine("廃止", a)}},
      {"both runs empty", {}, {}, {}},
      {"every facility replaced", {a}, {b}, {ReportLine("新規", b), ReportLine("廃止", a)}},
      {"with and without the apostrophe before a formula",
       {h, m_guarded, own, n},
       {h_guarded, m, own_dropped, n_moved},
       {ReportLine("変更", own_dropped, "病院名"),
        ReportLine("変更", With(n_moved, 4, "'-"), "住所")}},
      {"codes that lost their leading zeros",
       {z, y, a},
       {a, y_changed, z_number},
       {ReportLine("変更", y_changed, "電話番号")}},
      {"codes that gained leading zeros",
       {z_number, y_changed},
       {z, y},
       {ReportLine("変更", y, "電話番号")}},
      {"zeros on both sides make codes of their own",
       {x},
       {With(x, 0, "0123")},
       {ReportLine("新規", With(x, 0, "0123")), ReportLine("廃止", x)}},
      {"one number, two codes: neither is matched",
       {z, x},
       {z_number},
       {ReportLine("新規", z_number), ReportLine("廃止", z), ReportLine("廃止", x)}},
      {"a code found as it is comes first",
       {z, z_number},
       {With(z_number, 1, "別")},
       {ReportLine("変更", With(z_number, 1, "別"), "病院名"), ReportLine("廃止", z)}},
      {"a code that is not all digits keeps its zeros",
       {With(z, 0, "0A1")},
       {With(z, 0, "A1")},
       {ReportLine("新規", With(z, 0, "A1")), ReportLine("廃止", With(z, 0, "0A1"))}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CsvTable old_run = CsvTable::Parse(CsvBytes(c.old_run), "old.csv");
    const CsvTable new_run = CsvTable::Parse(CsvBytes(c.new_run), "new.csv");
    EXPECT_EQ(ReportLines(old_run, new_run), c.report);
  }
}

struct ColumnCase {
  const char* name;
  size_t column;
  const char* title;
  const char* value;
};

void PrintTo(const ColumnCase& c, std::ostream* os) {
  *os << c.name;
}

class EachColumnAlone : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(EachColumnAlone, IsNamedByItsTitle) {
  const ColumnCase& c = GetParam();
  const Fields before = Facility("21");
  const Fields after = With(before, c.column, c.value);
  const CsvTable old_run = CsvTable::Parse(CsvBytes({Facility("20"), before}), "old.csv");
  const CsvTable new_run = CsvTable::Parse(CsvBytes({Facility("20"), after}), "new.csv");
  EXPECT_EQ(ReportLines(old_run, new_run),
            std::vector<std::string>{ReportLine("変更", after, c.title)});
}

INSTANTIATE_TEST_SUITE_P(
    Columns, EachColumnAlone,
    ::testing::Values(ColumnCase{"Name", 1, "病院名", "21内科医院"},
                      ColumnCase{"PostalCode", 2, "郵便番号", "〒060-0099"},
                      ColumnCase{"Address", 3, "住所", "北海道札幌市中央区南1条"},
                      ColumnCase{"Telephone", 4, "電話番号", ""},
                      ColumnCase{"Station", 5, "最寄駅", "大通駅 徒歩2分"},
                      ColumnCase{"Departments", 6, "診療科目", "内科"},
                      ColumnCase{"DetailPage", 7, "詳細ページURL",
                                 "https://hospital-directory.example/dental/21/"},
                      ColumnCase{"QuoteInName", 1, "病院名", "21\"\"さくら\"\"クリニック"}),
    [](const ::testing::TestParamInfo<ColumnCase>& info) { return info.param.name; });

TEST(CsvTable, UndoesDoubledQuotesAndKeepsCommasInsideFields) {
  const CsvTable table = CsvTable::Parse(
      test::Sjis(
          Text(kCsvHeader, {"\"1\",\"A\"\"B\"\",C\",\"\",\"\"\"\",\"x,\"\"\",\"\",\"\",\"u\","})),
      "t.csv");
  ASSERT_EQ(table.rows().size(), 1u);
  const CsvRow& row = table.rows()[0];
  EXPECT_EQ(row.fields[1], "A\"B\",C");
  EXPECT_EQ(row.fields[2], "");
  EXPECT_EQ(row.fields[3], "\"");
  EXPECT_EQ(row.fields[4], "x,\"");
  EXPECT_EQ(row.fields[7], "u");
  EXPECT_EQ(row.line, 2u);
}

TEST(CsvTable, TakesOffTheApostropheOnlyWhereItGuardsAFormula) {
  struct Case {
    std::string written;  // the field in the file
    std::string read;
  } cases[] = {
      {"'=HYPERLINK(\"\"http://e.example/\"\")", "=HYPERLINK(\"http://e.example/\")"},
      {"'+81", "+81"},
      {"'-", "-"},
      {"'@ｻｸﾗ", "@ｻｸﾗ"},
      {"'\tx", "\tx"},
      {"'\rx", "\rx"},
      {"'=", "="},
      // Written by an older build, without the apostrophe.
      {"=1+1", "=1+1"},
      {"-1", "-1"},
      // An apostrophe before anything else is the field's own.
      {"'", "'"},
      {"'abc", "'abc"},
      {"''=1", "''=1"},
      {"' -1", "' -1"},
  };
  for (CsvEncoding encoding : {CsvEncoding::kCp932, CsvEncoding::kUtf8}) {
    SCOPED_TRACE(EncodingName(encoding));
    std::vector<Fields> records;
    for (const Case& c : cases) records.push_back(Fields(8, c.written));
    const CsvTable table = CsvTable::Parse(CsvBytes(records, encoding), "t.csv");
    ASSERT_EQ(table.rows().size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
      SCOPED_TRACE(cases[i].written);
      // Every column alike, the code that matches facilities included.
      for (std::string_view field : table.rows()[i].fields) {
        EXPECT_EQ(SjisToUtf8(field), cases[i].read);
      }
      EXPECT_EQ(table.Find(test::Sjis(cases[i].read)), &table.rows()[i]);
    }
  }
}

TEST(CsvTable, AcceptsLfLineEndsAndALastLineWithoutOne) {
  const CsvTable table =
      CsvTable::Parse(test::Sjis(std::string(kCsvHeader) + "\n" + Line(Facility("41")) + "\n" +
                                 Line(Facility("42"))),
                      "t.csv");
  ASSERT_EQ(table.rows().size(), 2u);
  EXPECT_EQ(SjisToUtf8(table.rows()[1].fields[3]), Facility("42")[3]);
  EXPECT_EQ(table.rows()[1].line, 3u);
}

// What the report makes of a change: its kind, the changed columns and the name.
std::vector<std::string> Summary(const CsvTable& old_run, const CsvTable& new_run) {
  std::vector<std::string> summary;
  for (const Change& change : CompareRuns(old_run, new_run)) {
    summary.push_back(std::to_string(static_cast<int>(change.kind)) + "/" +
                      std::to_string(change.changed_columns) + "/" +
                      SjisToUtf8(change.row->fields[1]));
  }
  return summary;
}

TEST(CsvTable, ReadsAListThatASpreadsheetSavedAgain) {
  using Encoding = test::ExcelSave::Encoding;
  const Fields zeros = Facility("0131");
  const Fields quoted = With(Facility("0132"), 1, "北\"\"さくら\"\", 内科");  // quote and comma
  const Fields lines = With(Facility("1133"), 3, "札幌市\n中央区");           // as Excel writes it
  const Fields guarded = With(Facility("A0134"), 4, "'-");
  const Fields gone = Facility("0135");
  const std::vector<Fields> before = {zeros, quoted, lines, guarded, gone};
  // A month later: one telephone changed, one facility gone, one new.
  const std::vector<Fields> after = {zeros, With(quoted, 4, "011-999-0000"), lines, guarded,
                                     Facility("0136")};
  struct Case {
    const char* name;
    test::ExcelSave save;
    CsvEncoding encoding;
  } cases[] = {
      {"CSV UTF-8: byte-order mark, LF, zeros dropped", {}, CsvEncoding::kUtf8},
      {"UTF-8 without a byte-order mark, CR LF",
       {.encoding = Encoding::kUtf8, .line_end = "\r\n"},
       CsvEncoding::kUtf8},
      {"CP932 with the trailing column",
       {.encoding = Encoding::kCp932, .trailing_column = true},
       CsvEncoding::kCp932},
      {"CP932, CR LF, zeros kept",
       {.encoding = Encoding::kCp932, .line_end = "\r\n", .keep_zeros = true},
       CsvEncoding::kCp932},
  };
  const CsvTable old_run = CsvTable::Parse(CsvBytes(before), "old.csv");
  const CsvTable new_run = CsvTable::Parse(CsvBytes(after), "new.csv");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CsvTable saved = CsvTable::Parse(test::ExcelResave(CsvBytes(before), c.save), "x.csv");
    EXPECT_EQ(saved.encoding(), c.encoding);
    ASSERT_EQ(saved.rows().size(), before.size());
    EXPECT_EQ(SjisToUtf8(saved.rows()[1].fields[1]), "北\"さくら\", 内科");
    EXPECT_EQ(SjisToUtf8(saved.rows()[2].fields[3]), "札幌市\n中央区");
    EXPECT_EQ(saved.rows()[2].line, 4u);
    EXPECT_EQ(saved.rows()[3].line, 6u);
    EXPECT_EQ(SjisToUtf8(saved.rows()[0].code()), c.save.keep_zeros ? "0131" : "131");
    EXPECT_EQ(ReportLines(old_run, saved), std::vector<std::string>{});
    EXPECT_EQ(ReportLines(saved, old_run), std::vector<std::string>{});
    // A real change is found as between the files the collector wrote.
    const CsvTable saved_after =
        CsvTable::Parse(test::ExcelResave(CsvBytes(after), c.save), "y.csv");
    EXPECT_EQ(Summary(saved, new_run), Summary(old_run, new_run));
    EXPECT_EQ(Summary(old_run, saved_after), Summary(old_run, new_run));
    EXPECT_EQ(Summary(old_run, new_run).size(), 3u);
  }
}

TEST(CsvTable, ReadsAQuotedFieldOverLineBreaksAndCountsTheLinesOn) {
  struct Case {
    const char* name;
    CsvEncoding encoding;
    std::string line_break;  // inside the fields; records end with CR LF
  } cases[] = {
      {"CP932, CR LF", CsvEncoding::kCp932, "\r\n"},
      {"CP932, LF as Excel writes it", CsvEncoding::kCp932, "\n"},
      {"UTF-8, CR LF", CsvEncoding::kUtf8, "\r\n"},
      {"UTF-8, LF", CsvEncoding::kUtf8, "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string& br = c.line_break;
    const Fields two_lines = With(Facility("71"), 1, "北" + br + "病院");
    // An empty line and a doubled quote inside the field.
    const Fields three_lines = With(Facility("72"), 3, "札幌市" + br + br + "中央区\"\"1\"\"");
    const CsvTable table = CsvTable::Parse(
        CsvBytes({two_lines, three_lines, Facility("73"), Facility("71")}, c.encoding), "t.csv");
    EXPECT_EQ(table.encoding(), c.encoding);
    ASSERT_EQ(table.rows().size(), 3u);
    EXPECT_EQ(table.rows()[0].fields[1], test::Sjis("北" + br + "病院"));
    EXPECT_EQ(table.rows()[0].fields[2], test::Sjis(two_lines[2]));
    EXPECT_EQ(table.rows()[1].fields[3], test::Sjis("札幌市" + br + br + "中央区\"1\""));
    EXPECT_EQ(table.rows()[1].fields[4], test::Sjis(three_lines[4]));
    EXPECT_EQ(table.rows()[0].line, 2u);
    EXPECT_EQ(table.rows()[1].line, 4u);
    EXPECT_EQ(table.rows()[2].line, 7u);
    ASSERT_EQ(table.repeated().size(), 1u);
    EXPECT_EQ(table.repeated()[0].line, 8u);
    EXPECT_EQ(table.repeated()[0].first_line, 2u);
  }
}

TEST(CsvTable, KeepsTheFirstOfRepeatedCodesAndNamesTheLaterLines) {
  const Fields first = Facility("51");
  const Fields later = With(first, 1, "別の名前");
  const CsvTable table =
      CsvTable::Parse(CsvBytes({first, Facility("52"), later, Facility("53"), later}), "dup.csv");
  ASSERT_EQ(table.rows().size(), 3u);
  EXPECT_EQ(SjisToUtf8(table.Find("51")->fields[1]), first[1]);
  ASSERT_EQ(table.repeated().size(), 2u);
  EXPECT_EQ(table.repeated()[0].code, "51");
  EXPECT_EQ(table.repeated()[0].line, 4u);
  EXPECT_EQ(table.repeated()[0].first_line, 2u);
  EXPECT_EQ(table.repeated()[1].line, 6u);

  // Only the first record takes part in the comparison.
  const CsvTable old_run = CsvTable::Parse(CsvBytes({first}), "old.csv");
  EXPECT_EQ(ReportLines(old_run, table),
            (std::vector<std::string>{ReportLine("新規", Facility("52")),
                                      ReportLine("新規", Facility("53"))}));
  EXPECT_EQ(ReportLines(table, old_run),
            (std::vector<std::string>{ReportLine("廃止", Facility("52")),
                                      ReportLine("廃止", Facility("53"))}));
}

struct EncodingCase {
  const char* name;
  CsvEncoding old_encoding;
  CsvEncoding new_encoding;
};

void PrintTo(const EncodingCase& c, std::ostream* os) {
  *os << c.name;
}

class MixedEncodings : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(MixedEncodings, CompareTheTextAndWriteInTheNewRunsEncoding) {
  const EncodingCase& c = GetParam();
  // Characters whose bytes differ between the encodings, half-width kana included.
  const Fields kept = With(Facility("61"), 1, "ｻｸﾗ①内科");
  const Fields before = Facility("62");
  const Fields after = With(before, 5, "大通駅 徒歩9分");
  test::TempDir dir;
  const std::string report = dir.File("report.csv");
  const CsvTable old_run =
      CsvTable::Parse(CsvBytes({kept, before, Facility("63")}, c.old_encoding), "old.csv");
  const CsvTable new_run = CsvTable::Parse(CsvBytes({kept, after}, c.new_encoding), "new.csv");
  EXPECT_EQ(new_run.encoding(), c.new_encoding);
  const ChangeCounts counts = WriteChangeReport(old_run, new_run, report);
  EXPECT_EQ(counts.added, 0u);
  EXPECT_EQ(counts.changed, 1u);
  EXPECT_EQ(counts.gone, 1u);
  EXPECT_EQ(test::ReadFile(report),
            InEncoding(Text(kReportHeader, {ReportLine("変更", after, "最寄駅"),
                                            ReportLine("廃止", Facility("63"))}),
                       c.new_encoding));
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, MixedEncodings,
    ::testing::Values(EncodingCase{"BothCp932", CsvEncoding::kCp932, CsvEncoding::kCp932},
                      EncodingCase{"Cp932ThenUtf8", CsvEncoding::kCp932, CsvEncoding::kUtf8},
                      EncodingCase{"Utf8ThenCp932", CsvEncoding::kUtf8, CsvEncoding::kCp932},
                      EncodingCase{"BothUtf8", CsvEncoding::kUtf8, CsvEncoding::kUtf8}),
    [](const ::testing::TestParamInfo<EncodingCase>& info) { return info.param.name; });

struct BrokenCase {
  const char* name;
  std::string bytes;
  std::string message;  // found in the message, after "broken.csv: "
};

void PrintTo(const BrokenCase& c, std::ostream* os) {
  *os << c.name;
}

class BrokenFile : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenFile, IsRefusedWithItsNameAndLine) {
  const BrokenCase& c = GetParam();
  try {
    CsvTable::Parse(c.bytes, "broken.csv");
    ADD_FAILURE() << "read without complaint";
  } catch (const CsvFormatError& error) {
    const std::string start = "CSV ファイルの形式が正しくありません。(broken.csv: ";
    EXPECT_EQ(std::string(error.what()).substr(0, start.size()), start);
    EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
  }
}

const std::string kGood = Line(Facility("81"));
const std::string kBareOtherHeader = "病院ID,病院名,郵便番号,住所,電話番号,最寄駅,診療科目,URL";
const std::string kRecordRule =
    "1 件は引用符で囲んだ 8 つの項目で、それぞれの後にカンマが付きます: ";

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenFile,
    ::testing::Values(
        BrokenCase{"Empty", "", "1 行目: ファイルが空です"},
        BrokenCase{"OtherHeader", test::Sjis("\"ID\",\"Name\"\r\n" + kGood + "\r\n"),
                   "1 行目: 見出しの行がこのプログラムの書くものと違います"},
        BrokenCase{
            "HeaderWithATitleMissing",
            test::Sjis(Text(std::string(kCsvHeader).substr(0, std::string(kCsvHeader).rfind(',')),
                            {kGood})),
            "1 行目: 見出しの行がこのプログラムの書くものと違います"},
        BrokenCase{"HeaderWithATitleMore", test::Sjis(Text(std::string(kCsvHeader) + ",備考", {})),
                   "1 行目: 見出しの行がこのプログラムの書くものと違います"},
        BrokenCase{"BareHeaderOfOtherTitles", test::Sjis(Text(kBareOtherHeader, {kGood})),
                   "1 行目: 見出しの行がこのプログラムの書くものと違います"},
        BrokenCase{
            "SevenFields",
            test::Sjis(Text(kCsvHeader, {kGood, "\"1\",\"2\",\"3\",\"4\",\"5\",\"6\",\"7\","})),
            "3 行目: " + kRecordRule + "7 項目で行が終わっています"},
        BrokenCase{"NineFields", test::Sjis(Text(kCsvHeader, {kGood + "\"9\","})),
                   "2 行目: " + kRecordRule + "8 番目の項目の後にも続きがあります"},
        BrokenCase{"NoCommaAfterTheLastFieldOfAFileWithIt",
                   test::Sjis(Text(kCsvHeader, {kGood, kGood.substr(0, kGood.size() - 1)})),
                   "3 行目: " + kRecordRule + "8 番目の項目の後にカンマがありません"},
        BrokenCase{
            "QuoteInsideABareField",
            test::Sjis(Text(kCsvHeader, {"\"1\",a\"\"b,\"3\",\"4\",\"5\",\"6\",\"7\",\"8\","})),
            "2 行目: " + kRecordRule +
                "2 番目の項目が引用符で囲まれていないのに引用符を含んでいます"},
        BrokenCase{"SevenFieldsInAFileWithoutTheTrailingColumn",
                   test::Sjis(Text(kCsvHeader, {"1,2,3,4,5,6,7,8", "1,2,3,4,5,6,7"})),
                   "3 行目: " + kRecordRule + "7 項目で行が終わっています"},
        BrokenCase{"NineFieldsInAFileWithoutTheTrailingColumn",
                   test::Sjis(Text(kCsvHeader, {"1,2,3,4,5,6,7,8", "1,2,3,4,5,6,7,8,9"})),
                   "3 行目: " + kRecordRule + "8 番目の項目の後にも続きがあります"},
        BrokenCase{"TrailingColumnInAFileWithoutIt",
                   test::Sjis(Text(kCsvHeader, {"1,2,3,4,5,6,7,8", "1,2,3,4,5,6,7,8,"})),
                   "3 行目: " + kRecordRule + "8 番目の項目の後にも続きがあります"},
        BrokenCase{"BareNineFieldsFirst", test::Sjis(Text(kCsvHeader, {"1,2,3,4,5,6,7,8,9"})),
                   "2 行目: " + kRecordRule + "8 番目の項目の後にも続きがあります"},
        BrokenCase{"UnclosedQuote", test::Sjis(Text(kCsvHeader, {kGood, kGood, "\"1\",\"2"})),
                   "4 行目: " + kRecordRule + "2 番目の項目を閉じる引用符がありません"},
        BrokenCase{
            "LoneQuoteInsideAField",
            test::Sjis(Text(kCsvHeader, {"\"1\",\"a\"b\",\"3\",\"4\",\"5\",\"6\",\"7\",\"8\","})),
            "2 行目: " + kRecordRule + "2 番目の項目の後にカンマがありません"},
        BrokenCase{"FaultAfterARecordOverTwoLines",
                   test::Sjis(Text(kCsvHeader,
                                   {Line(With(Facility("82"), 1, "北\r\n病院")), "\"1\",\"2\","})),
                   "4 行目: " + kRecordRule + "2 項目で行が終わっています"},
        BrokenCase{
            "FaultOnTheSecondLineOfARecord",
            test::Sjis(Text(kCsvHeader,
                            {"\"1\",\"a\r\nb\",\"3\",\"4\",\"5\",\"6\",\"7\",\"8\",\"9\","})),
            "3 行目: " + kRecordRule + "8 番目の項目の後にも続きがあります"},
        BrokenCase{"QuoteLeftOpenToTheEnd", test::Sjis(Text(kCsvHeader, {kGood, "\"1\",\"a", "b"})),
                   "3 行目: " + kRecordRule + "2 番目の項目を閉じる引用符がありません"},
        BrokenCase{"EmptyLine", test::Sjis(Text(kCsvHeader, {kGood, ""})),
                   "3 行目: " + kRecordRule + "空の行です"},
        BrokenCase{"BytesThatAreNotShiftJis",
                   test::Sjis(Text(kCsvHeader, {kGood})) + "\"1\",\"a\x80\",\r\n",
                   "3 行目: 7 バイト目: Shift_JIS (CP932) ではありません"},
        BrokenCase{"BytesThatAreNotUtf8",
                   "\xEF\xBB\xBF" + Text(kCsvHeader, {kGood, "\"1\",\"\xE6\x9C\","}),
                   "3 行目: 6 バイト目: UTF-8 ではないか"},
        BrokenCase{"BytesThatAreNotUtf8WithoutByteOrderMark",
                   Text(kCsvHeader, {kGood, "\"1\",\"\xE6\x9C\","}),
                   "3 行目: 6 バイト目: UTF-8 ではないか"},
        BrokenCase{"Utf8CharacterShiftJisCannotHold",
                   "\xEF\xBB\xBF" + Text(kCsvHeader, {"\"1\",\"\xF0\x9F\x98\x80\","}),
                   "2 行目: 6 バイト目: UTF-8 ではないか、Shift_JIS (CP932) にない文字です"}),
    [](const ::testing::TestParamInfo<BrokenCase>& info) { return info.param.name; });

}  // namespace
}  // namespace valmeric
