#include "engine/csv_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/text/crc32.h"
#include "support/euc.h"
#include "support/temp_dir.h"

namespace valmeric {
namespace {

TEST(CsvHeader, IsTheEightQuotedTitlesInShiftJis) {
  const std::string& header = CsvHeaderLine();
  EXPECT_EQ(header.substr(0, 9), "\x22\x95\x61\x89\x40\x49\x44\x22\x2C");
  EXPECT_EQ(header,
            test::Sjis("\"病院ID\",\"病院名\",\"郵便番号\",\"住所\",\"電話番号\",\"最寄駅\","
                       "\"診療科目\",\"詳細ページURL\""));
}

TEST(CsvRecord, QuotesEveryFieldDoublesInnerQuotesAndEndsWithAComma) {
  struct Case {
    Record record;
    std::string line;
  } cases[] = {
      {{"1", "", "", "", "", "", "", "https://h/x/1/"},
       "\"1\",\"\",\"\",\"\",\"\",\"\",\"\",\"https://h/x/1/\","},
      {{"2", "ab\"c", "a,b", "", "", "", "", ""},
       "\"2\",\"ab\"\"c\",\"a,b\",\"\",\"\",\"\",\"\",\"\","},
      {{"3", "\"", "O'Neil", "", "", "", "", ""},
       "\"3\",\"\"\"\",\"O'Neil\",\"\",\"\",\"\",\"\",\"\","},
      // A field a spreadsheet would take for a formula gets an apostrophe in
      // front, in every column; inner quotes are doubled after it.
      {{"=4", "=HYPERLINK(\"http://e.example/\",\"x\")", "+81", "-1", "@SUM(A1)", "\tx", "\rx",
        "-"},
       "\"'=4\",\"'=HYPERLINK(\"\"http://e.example/\"\",\"\"x\"\")\",\"'+81\",\"'-1\","
       "\"'@SUM(A1)\",\"'\tx\",\"'\rx\",\"'-\","},
      {{"-5", "+", "@", "\t", "\r", "=", "a=b", "x-"},
       "\"'-5\",\"'+\",\"'@\",\"'\t\",\"'\r\",\"'=\",\"a=b\",\"x-\","},
      // One that starts with an apostrophe already, or with a space, is no formula.
      {{"6", "'", "'=1", "'abc", "''-1", " =1", "", ""},
       "\"6\",\"'\",\"'=1\",\"'abc\",\"''-1\",\" =1\",\"\",\"\","},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatRecordLine(c.record), c.line);
}

TEST(CsvFile, WritesLinesWithCrLfAndTruncatesAnOldFile) {
  test::TempDir dir;
  const std::string path = dir.File("out.csv");
  test::WriteFile(path, "old content that must go");
  CsvFile file;
  file.Open(path);
  file.WriteLine(CsvHeaderLine());
  file.WriteLine("x");
  file.Close();
  EXPECT_EQ(test::ReadFile(path), CsvHeaderLine() + "\r\nx\r\n");
  EXPECT_FALSE(file.is_open());
}

TEST(CsvFile, AUtf8FileStartsWithAByteOrderMarkAndConvertsEveryLine) {
  test::TempDir dir;
  const std::string path = dir.File("utf8.csv");
  CsvFile file;
  file.Open(path, CsvEncoding::kUtf8);
  file.WriteLine(CsvHeaderLine());
  file.WriteLine(FormatRecordLine(
      {"1", test::Sjis("ｻｸﾗ\"医院\""), test::Sjis("〒060-0042"), "", "", "", "", ""}));
  file.WriteLine(FormatRecordLine({"2", test::Sjis("=ｻｸﾗ"), "", "", "-", "", "", ""}));
  file.Close();
  EXPECT_EQ(test::ReadFile(path),
            "\xEF\xBB\xBF\"病院ID\",\"病院名\",\"郵便番号\",\"住所\",\"電話番号\",\"最寄駅\","
            "\"診療科目\","
            "\"詳細ページURL\"\r\n"
            "\"1\",\"ｻｸﾗ\"\"医院\"\"\",\"〒060-0042\",\"\",\"\",\"\",\"\",\"\",\r\n"
            "\"2\",\"'=ｻｸﾗ\",\"\",\"\",\"'-\",\"\",\"\",\"\",\r\n");
  EXPECT_EQ(file.lines_on_disk(), 3u);
}

TEST(CsvFile, BuffersWholeLinesOnly) {
  test::TempDir dir;
  const std::string path = dir.File("out.csv");
  CsvFile file;
  file.Open(path);
  const std::string line(1000, 'a');
  for (int i = 0; i < 200; ++i) file.WriteLine(line);
  // Whatever reached the disk before the close is a whole number of lines.
  const std::string partial = test::ReadFile(path);
  EXPECT_GT(partial.size(), 0u);
  EXPECT_EQ(partial.size() % (line.size() + 2), 0u);
  file.Close();
  EXPECT_EQ(test::ReadFile(path).size(), 200 * (line.size() + 2));
}

TEST(CsvFile, ReportsFailuresInsteadOfLosingLines) {
  test::TempDir dir;
  CsvFile missing_folder;
  EXPECT_THROW(missing_folder.Open(dir.File("no/such/folder.csv")), OutputError);
  EXPECT_THROW(missing_folder.WriteLine("x"), OutputError);

  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  CsvFile full;
  full.Open("/dev/full");
  full.WriteLine("x");
  EXPECT_THROW(full.Close(), OutputError);
  EXPECT_FALSE(full.is_open());
}

TEST(CsvFile, ReopenCutsBackToTheGivenLengthAndGoesOn) {
  test::TempDir dir;
  const std::string path = dir.File("out.csv");
  test::WriteFile(path, "head\r\none\r\ntwo\r\nhalf a li");
  CsvFile file;
  // After "one": no byte-order mark again; the fingerprint goes on from the kept bytes'.
  file.Reopen(path, CsvEncoding::kUtf8, 11, Crc32("head\r\none\r\n"));
  EXPECT_EQ(file.bytes_on_disk(), 11);
  file.WriteLine("three");
  file.Sync();
  EXPECT_EQ(file.bytes_on_disk(), 18);
  EXPECT_EQ(file.lines_on_disk(), 1u);
  file.Close();
  EXPECT_EQ(test::ReadFile(path), "head\r\none\r\nthree\r\n");
  EXPECT_EQ(file.crc_on_disk(), Crc32(test::ReadFile(path)));
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);  // the standard check value

  CsvFile shorter;
  EXPECT_THROW(shorter.Reopen(path, CsvEncoding::kCp932, 19, 0), OutputError);
  EXPECT_FALSE(shorter.is_open());
  EXPECT_EQ(test::ReadFile(path), "head\r\none\r\nthree\r\n");  // left as it was
  EXPECT_THROW(shorter.Reopen(dir.File("gone.csv"), CsvEncoding::kCp932, 0, 0), OutputError);
}

}  // namespace
}  // namespace valmeric
