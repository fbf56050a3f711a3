// The workbook made from a collection CSV, read back by an independent reader
// (openpyxl) and compared cell by cell with the CSV.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "cli/cli_main.h"
#include "cli/exit_codes.h"
#include "engine/csv_writer.h"
#include "engine/workbook_export.h"
#include "support/named_case.h"
#include "support/site_fixture.h"
#include "support/test_database.h"

namespace valmeric::cli {
namespace {

namespace fs = std::filesystem;
using test::PageFacility;
using test::SiteFixture;

class ExportCommandTest : public ::testing::Test {
 protected:
  int Cli(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    return CliMain(args, out_, err_, interrupted_, false);
  }
  int Collect(const std::string& encoding) {
    return Cli({"collect", "--category", "1", "--prefecture", "1", "--output", site_.File("result"),
                "--db", site_.db_path(), "--site-origin", site_.server().Origin(), "--pause-ms",
                "0", "--encoding", encoding});
  }
  // The independent reader's verdict on the workbook against the CSV, with
  // facts ("label=value") that its second sheet must hold.
  int CheckWorkbook(const std::string& csv, const std::string& xlsx,
                    const std::vector<std::string>& facts) {
    std::string command = std::string("/usr/bin/python3 ") + VALMERIC_CHECK_WORKBOOK + " '" + csv +
                          "' '" + xlsx + "'";
    for (const std::string& fact : facts) command += " '" + fact + "'";
    return std::system(command.c_str());
  }

  SiteFixture site_;
  std::ostringstream out_, err_;
  std::atomic<bool> interrupted_{false};
};

struct CollectedCase {
  const char* name;
  const char* encoding;
  std::vector<PageFacility> facilities;
};
VALMERIC_PRINT_CASE_BY_NAME(CollectedCase)

class ExportCollectedTest : public ExportCommandTest,
                            public ::testing::WithParamInterface<CollectedCase> {};

// Fields a spreadsheet would take for numbers or formulas: each cell holds
// the field's own characters, as text.
std::vector<PageFacility> HostileFacilities() {
  std::vector<PageFacility> facilities = SiteFixture::Facilities(1, 4);
  facilities[0].name = "=HYPERLINK(\"http://example.invalid\",\"x\")";
  facilities[1].name = "+81 病院";
  facilities[1].telephone = "-0120-000-000";
  facilities[2].name = "@SUM(A1:A9)";
  facilities[2].station = "1234567890123456";
  facilities[3].postal = "〒001-0001";
  facilities[3].departments = "";
  return facilities;
}

TEST_P(ExportCollectedTest, EveryCellHoldsItsFieldAsText) {
  site_.SetPage("01101110", static_cast<int>(GetParam().facilities.size()), GetParam().facilities);
  site_.SetPage("01202120", 2, SiteFixture::Facilities(11, 12));
  ASSERT_EQ(Collect(GetParam().encoding), kExitWrote) << err_.str();
  const std::string csv = site_.File("result.csv");
  const std::string csv_bytes = test::ReadFile(csv);

  ASSERT_EQ(Cli({"export", csv, "--db", site_.db_path()}), kExitWrote) << err_.str();
  const std::string xlsx = site_.File("result.xlsx");
  EXPECT_EQ(out_.str(), fs::absolute(xlsx).string() + "\n");
  const int facilities = static_cast<int>(GetParam().facilities.size()) + 2;
  EXPECT_EQ(CheckWorkbook(csv, xlsx,
                          {"CSVファイル=result.csv", "診療科目=1 内科系", "都道府県=1 北海道",
                           "保存した事業所=" + std::to_string(facilities) + " 件",
                           "取得できなかったページ=0 件"}),
            0);
  EXPECT_EQ(test::ReadFile(csv), csv_bytes);  // the CSV is never changed
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, ExportCollectedTest,
    ::testing::Values(CollectedCase{"Cp932", "cp932", SiteFixture::Facilities(1, 3)},
                      CollectedCase{"Utf8", "utf-8", SiteFixture::Facilities(1, 3)},
                      CollectedCase{"FieldsThatLookLikeNumbersOrFormulas", "cp932",
                                    HostileFacilities()}),
    [](const auto& info) { return std::string(info.param.name); });

// --xlsx: the workbook comes with a run that wrote facilities, also one
// with pages missing, and again with the retry that fetches them.
TEST_F(ExportCommandTest, CollectWithXlsxWritesTheWorkbookAfterEachRunThatChangesTheCsv) {
  site_.SetPage("01101110", 3, SiteFixture::Facilities(1, 3));
  site_.SetPage("01202120", 2, SiteFixture::Facilities(11, 12));
  site_.FailPair("01202120", 503);
  const std::vector<std::string> base = {"--db",
                                         site_.db_path(),
                                         "--site-origin",
                                         site_.server().Origin(),
                                         "--pause-ms",
                                         "0",
                                         "--retry-delays-ms",
                                         "0",
                                         "--xlsx"};
  std::vector<std::string> first = {"collect",  "--category",        "1", "--prefecture", "1",
                                    "--output", site_.File("result")};
  first.insert(first.end(), base.begin(), base.end());
  ASSERT_EQ(Cli(first), kExitIncomplete) << err_.str();
  const std::string csv = site_.File("result.csv");
  const std::string xlsx = fs::absolute(site_.File("result.xlsx")).string();
  EXPECT_NE(out_.str().find("\n" + xlsx + "\n"), std::string::npos) << out_.str();
  EXPECT_EQ(CheckWorkbook(csv, xlsx, {"保存した事業所=3 件", "取得できなかったページ=1 件"}), 0);

  site_.HealPairs();
  std::vector<std::string> retry = {"collect", "--retry-failed"};
  retry.insert(retry.end(), base.begin(), base.end());
  ASSERT_EQ(Cli(retry), kExitWrote) << err_.str();
  EXPECT_NE(err_.str().find("Excel ブックを書き出しました: " + xlsx), std::string::npos)
      << err_.str();
  EXPECT_EQ(CheckWorkbook(csv, xlsx, {"保存した事業所=5 件", "取得できなかったページ=0 件"}), 0);
}

// A sheet holds at most 65,530 links: the detail addresses after that are
// plain text, the cells otherwise alike.
TEST_F(ExportCommandTest, DetailAddressesPastTheMostLinksASheetHoldsStayText) {
  std::string csv_bytes = CsvHeaderLine() + ",\r\n";
  for (int i = 0; i < static_cast<int>(kMostLinksOnASheet) + 2; ++i) {
    const std::string code = std::to_string(100000000 + i);
    std::string line;
    for (const std::string& field :
         {code, std::string("name"), std::string("060-0001"), std::string("address"),
          std::string("011-222-3333"), std::string(""), std::string(""),
          "https://hospital-directory.example/hospital/" + code + "/"}) {
      AppendCsvField(line, field);
    }
    csv_bytes += line + "\r\n";
  }
  const std::string csv = site_.File("many.csv");
  test::WriteFile(csv, csv_bytes);
  ASSERT_EQ(Cli({"export", csv, "--db", site_.db_path()}), kExitWrote) << err_.str();
  EXPECT_EQ(CheckWorkbook(csv, site_.File("many.xlsx"), {}), 0);
}

// A CSV the database records no run for: the second sheet says so.
TEST_F(ExportCommandTest, ACsvWithoutItsRunRecordedNamesTheFileOnly) {
  site_.SetPage("01101110", 3, SiteFixture::Facilities(1, 3));
  ASSERT_EQ(Collect("cp932"), kExitWrote) << err_.str();
  const std::string copy = site_.File("コピー.csv");
  fs::copy_file(site_.File("result.csv"), copy);
  ASSERT_EQ(Cli({"export", copy, "--output", site_.File("一覧"), "--db", site_.db_path()}),
            kExitWrote)
      << err_.str();
  EXPECT_EQ(CheckWorkbook(copy, site_.File("一覧.xlsx"),  // ".xlsx" added
                          {"CSVファイル=コピー.csv",
                           "このCSVファイルを書いた取得の記録はデータベースにありません。="}),
            0);
}

// Refused or failed: the reason, the exit status, and nothing written; a
// workbook already there stays as it was.
TEST_F(ExportCommandTest, ARefusalOrFailureWritesNothing) {
  site_.SetPage("01101110", 3, SiteFixture::Facilities(1, 3));
  ASSERT_EQ(Collect("cp932"), kExitWrote) << err_.str();
  const std::string csv = site_.File("result.csv");
  const std::string old_book = site_.File("old.xlsx");
  test::WriteFile(old_book, "last month's workbook");
  test::WriteFile(site_.File("other.csv"), "a,b\r\n1,2\r\n");
  fs::copy_file(csv, site_.File("odd.xlsx"));
  const struct {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* says;
    std::string not_written;
  } cases[] = {
      {"NotTheCollectorsCsv",
       {"export", site_.File("other.csv"), "--output", old_book},
       kExitUsage,
       "このプログラムが書いた CSV ファイルではないため",
       ""},
      {"NoSuchCsv",
       {"export", site_.File("none.csv"), "--output", old_book},
       kExitUsage,
       "none.csv",
       ""},
      // A CSV named like a workbook would be its own workbook.
      {"TheCsvItself", {"export", site_.File("odd.xlsx")}, kExitUsage, "CSV ファイルと同じ", ""},
      {"NoSuchFolder",
       {"export", csv, "--output", site_.File("no-folder/a.xlsx")},
       kExitWriteError,
       "Excel ブックを書き出せませんでした。",
       site_.File("no-folder/a.xlsx.part")},
      {"NoCsvNamed", {"export"}, kExitUsage, "CSV ファイルを 1 つ指定してください", ""},
  };
  const std::string csv_bytes = test::ReadFile(csv);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Cli(c.args), c.status);
    EXPECT_NE(err_.str().find(c.says), std::string::npos) << err_.str();
    EXPECT_EQ(err_.str().find("ERROR"), std::string::npos) << err_.str();  // Japanese only
    EXPECT_EQ(test::ReadFile(old_book), "last month's workbook");
    EXPECT_EQ(test::ReadFile(csv), csv_bytes);
    if (!c.not_written.empty()) {
      EXPECT_FALSE(fs::exists(c.not_written));
    }
    EXPECT_FALSE(fs::exists(site_.File("other.xlsx")));
  }
}

}  // namespace
}  // namespace valmeric::cli
