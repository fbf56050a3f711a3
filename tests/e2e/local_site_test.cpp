// Collections and table rebuilds against the local directory site, with the
// shipped reference database.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>

#include "cli/cli_main.h"
#include "cli/exit_codes.h"
#include "common/network/site_host.h"
#include "common/text/sjis_text.h"
#include "common/text/text_encoding.h"
#include "refdb/reference_db.h"
#include "refdb/table_builders.h"
#include "running_site.h"
#include "support/cp932_check.h"
#include "support/excel_csv.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace valmeric {
namespace {

using sitesim::testing::RunningSite;

class LocalSiteTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::copy_file(VALMERIC_SHIPPED_DB, db_path_); }

  std::string Origin(const RunningSite& site) const {
    return "http://127.0.0.1:" + std::to_string(site.port());
  }

  BuilderSettings Settings(const RunningSite& site) const {
    BuilderSettings settings;
    settings.download.origin = SiteOrigin::Parse(Origin(site));
    settings.retry.delays = {std::chrono::milliseconds(1), std::chrono::milliseconds(1)};
    settings.scratch_path = dir_.File("tmp-build.dat");
    return settings;
  }

  // Runs "collect" against site with the copied database and no pause;
  // what it prints lands in out_ and err_.
  int Collect(const RunningSite& site, const std::string& prefecture, const std::string& category,
              const std::string& output, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"collect",  "--category",    category,     "--prefecture",
                                     prefecture, "--output",      output,       "--db",
                                     db_path_,   "--site-origin", Origin(site), "--pause-ms",
                                     "0",        "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  }

  int Run(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    std::atomic<bool> no{false};
    return cli::CliMain(args, out_, err_, no, false);
  }

  std::vector<std::string> Rows(const std::string& path, const std::string& sql) {
    return test::QueryColumn(path, sql);
  }
  std::vector<std::string> Cities(const std::string& path) {
    return Rows(
        path, "SELECT AreaCode || '|' || CityCode || '|' || CityName FROM T01_City ORDER BY rowid");
  }
  std::vector<std::string> SubCategories(const std::string& path) {
    return Rows(path,
                "SELECT CtgrCode || '|' || SubCtgrCode || '|' || SubCtgrName FROM T02_Category "
                "ORDER BY ID");
  }

  test::TempDir dir_;
  std::string db_path_ = dir_.File("hpt_data.db");
  std::ostringstream out_, err_;
};

TEST_F(LocalSiteTest, ARebuildFromTheSiteReproducesTheShippedTablesRowForRow) {
  RunningSite site;
  const auto shipped_cities = Cities(VALMERIC_SHIPPED_DB);
  const auto shipped_subs = SubCategories(VALMERIC_SHIPPED_DB);
  ASSERT_GT(shipped_cities.size(), 1700u);
  ASSERT_GT(shipped_subs.size(), 50u);
  test::ExecuteOn(db_path_, "DELETE FROM T01_City");
  test::ExecuteOn(db_path_, "DELETE FROM T02_Category");

  ReferenceDb db(db_path_);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RebuildCities(db.db(), Settings(site)), static_cast<int>(shipped_cities.size()));
  EXPECT_EQ(RebuildSubCategories(db.db(), Settings(site)), static_cast<int>(shipped_subs.size()));
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  RecordProperty("rebuild_ms", static_cast<int>(ms.count()));
  std::cout << "full rebuild of both tables: " << ms.count() << " ms\n";

  EXPECT_EQ(Cities(db_path_), shipped_cities);
  EXPECT_EQ(SubCategories(db_path_), shipped_subs);
}

TEST_F(LocalSiteTest, BuilderFailuresLeaveTheOldTablesExactlyAsTheyWere) {
  const auto shipped_cities = Cities(VALMERIC_SHIPPED_DB);
  const auto shipped_subs = SubCategories(VALMERIC_SHIPPED_DB);
  struct Case {
    const char* name;
    sitesim::FaultOptions faults;
  } cases[3];
  cases[0].name = "prefecture 30 answers 500";
  cases[0].faults.fail_pref = 30;
  cases[1].name = "every page cut off mid-body";
  cases[1].faults.drop_rate = 1.0;
  cases[2].name = "every page a 503";
  cases[2].faults.fail_rate = 1.0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunningSite site(c.faults);
    ReferenceDb db(db_path_);
    try {
      RebuildCities(db.db(), Settings(site));
      ADD_FAILURE() << "the city builder did not stop";
    } catch (const BuildError& error) {
      if (c.faults.fail_pref == 30) {
        EXPECT_NE(std::string(error.what()).find("pref_no=30"), std::string::npos) << error.what();
      }
    }
    if (c.faults.fail_pref == 0) {
      EXPECT_THROW(RebuildSubCategories(db.db(), Settings(site)), BuildError);
    }
    EXPECT_EQ(Cities(db_path_), shipped_cities);
    EXPECT_EQ(SubCategories(db_path_), shipped_subs);
  }
}

// The facilities the site lists for a selection, as a correct reader cuts
// them, keyed by code: the CSV's eight columns in UTF-8.
std::map<std::string, std::vector<std::string>> ListedFacilities(RunningSite& site,
                                                                 const std::string& query) {
  const auto reply = site.Get("/_sim/listed?" + query);
  EXPECT_TRUE(reply && reply->status == 200);
  std::map<std::string, std::vector<std::string>> listed;
  for (std::vector<std::string> fields : sitesim::testing::TsvRows(reply ? reply->body : "")) {
    if (fields.size() < 8) fields.resize(8);
    fields[7] = std::string("https://") + kSiteHost + "/" + fields[7];
    listed[fields[0]] = fields;
  }
  return listed;
}

// The records of a CSV file (CP932, or UTF-8 after a byte-order mark) in
// UTF-8, split into their fields.
std::vector<std::vector<std::string>> CsvRecords(const std::string& path) {
  std::string bytes = test::ReadCsv(path);
  const bool utf8 = bytes.starts_with("\xEF\xBB\xBF");
  const auto lines = SplitLines(utf8 ? bytes.substr(3) : bytes);
  std::vector<std::vector<std::string>> records;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string line = utf8 ? lines[i] : SjisToUtf8(lines[i]);
    std::vector<std::string> fields;
    size_t at = 0;
    while (at < line.size() && line[at] == '"') {
      std::string field;
      size_t k = at + 1;
      for (; k < line.size(); ++k) {
        if (line[k] == '"' && k + 1 < line.size() && line[k + 1] == '"') {
          field.push_back('"');
          ++k;
        } else if (line[k] == '"') {
          break;
        } else {
          field.push_back(line[k]);
        }
      }
      fields.push_back(field);
      at = k + 2;  // past the closing quote and the comma
    }
    records.push_back(fields);
  }
  return records;
}

TEST_F(LocalSiteTest, ACollectionWritesEveryListedFacilityExactlyOnceAndNothingElse) {
  RunningSite site;
  struct Case {
    const char* prefecture;
    const char* category;
  } cases[] = {{"31", "1"}, {"13", "9"}, {"47", "10"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("prefecture ") + c.prefecture + ", category " + c.category);
    const auto listed =
        ListedFacilities(site, std::string("pref_no=") + c.prefecture + "&ctgr=" + c.category);
    ASSERT_FALSE(listed.empty());
    const std::string output = dir_.File(std::string("out-") + c.prefecture);
    ASSERT_EQ(Collect(site, c.prefecture, c.category, output), cli::kExitWrote) << err_.str();
    const auto records = CsvRecords(output + ".csv");
    std::map<std::string, int> seen;
    for (const auto& record : records) {
      ASSERT_EQ(record.size(), 8u);
      ++seen[record[0]];
      const auto expected = listed.find(record[0]);
      ASSERT_NE(expected, listed.end()) << "not listed: " << record[0];
      EXPECT_EQ(record, expected->second);
    }
    for (const auto& [code, count] : seen) EXPECT_EQ(count, 1) << code;
    EXPECT_EQ(records.size(), listed.size());
  }
}

TEST_F(LocalSiteTest, TheSiteDyingMidRunKeepsEveryLineWrittenWhole) {
  sitesim::FaultOptions faults;
  faults.fail_after = 40;
  RunningSite site(faults);
  const std::string output = dir_.File("dying");
  EXPECT_EQ(Collect(site, "13", "1", output, {"--retry-delays-ms", "1,1"}), cli::kExitUnreachable)
      << err_.str();
  const auto records = CsvRecords(output + ".csv");
  EXPECT_GT(records.size(), 0u);
  for (const auto& record : records) EXPECT_EQ(record.size(), 8u);
  const std::string bytes = test::ReadCsv(output + ".csv");
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

TEST_F(LocalSiteTest, AChangeReportBetweenTwoCollectionsTellsWhatTheSiteChanged) {
  const std::string query = "pref_no=31&ctgr=1,9";
  RunningSite before;
  RunningSite after({}, sitesim::kDefaultSeed, {}, 0.1);
  const std::string old_csv = dir_.File("before.csv");
  const std::string new_csv = dir_.File("after.csv");
  const std::string report = dir_.File("report.csv");
  ASSERT_EQ(Collect(before, "31", "1,9", old_csv), cli::kExitWrote) << err_.str();
  ASSERT_EQ(Collect(after, "31", "1,9", new_csv, {"--encoding", "utf-8"}), cli::kExitWrote)
      << err_.str();
  ASSERT_EQ(Run({"diff", old_csv, new_csv, "--output", report}), cli::kExitWrote) << err_.str();

  // What the site says a collection sees change: kind, code, changed fields.
  const auto changes = sitesim::testing::TsvRows(after.Get("/_sim/changes?" + query)->body);
  const auto listed_before = ListedFacilities(before, query);
  const auto listed_after = ListedFacilities(after, query);
  const std::map<std::string, std::string> kinds = {
      {"new", "新規"}, {"changed", "変更"}, {"gone", "廃止"}};
  const std::map<std::string, std::string> titles = {
      {"name", "病院名"},        {"postal_code", "郵便番号"}, {"address", "住所"},
      {"telephone", "電話番号"}, {"station", "最寄駅"},       {"departments", "診療科目"},
      {"link", "詳細ページURL"}};
  std::map<std::string, int> count;
  const auto rows = CsvRecords(report);  // UTF-8, as the newer collection is
  ASSERT_EQ(rows.size(), changes.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& change = changes[i];
    const auto& row = rows[i];
    SCOPED_TRACE(change[0] + " " + change[1]);
    ++count[change[0]];
    ASSERT_EQ(row.size(), 10u);
    EXPECT_EQ(row[0], kinds.at(change[0]));
    const auto& listed = change[0] == "gone" ? listed_before : listed_after;
    ASSERT_EQ(listed.count(change[1]), 1u);
    EXPECT_EQ(std::vector<std::string>(row.begin() + 1, row.begin() + 9), listed.at(change[1]));
    std::string changed;
    std::istringstream labels(change[2]);
    for (std::string label; std::getline(labels, label, ',');) {
      changed += (changed.empty() ? "" : "・") + titles.at(label);
    }
    EXPECT_EQ(row[9], changed);
  }
  for (const char* kind : {"new", "changed", "gone"}) EXPECT_GT(count[kind], 0) << kind;
  EXPECT_EQ(out_.str(), report + "\t" + std::to_string(count["new"]) + "\t" +
                            std::to_string(count["changed"]) + "\t" +
                            std::to_string(count["gone"]) + "\n");
  EXPECT_EQ(err_.str(), "新規 " + std::to_string(count["new"]) + " 件・変更 " +
                            std::to_string(count["changed"]) + " 件・廃止 " +
                            std::to_string(count["gone"]) + " 件\n");
}

// The report's lines other than those of facilities gone: the newer file's
// fields, whatever the older file's codes look like.
std::vector<std::string> NewAndChanged(const std::string& report) {
  std::vector<std::string> lines;
  for (const std::string& line : SplitLines(test::ReadCsv(report))) {
    if (!line.starts_with("\"" + Utf8ToSjis("廃止"))) lines.push_back(line);
  }
  return lines;
}

// A collected list opened in Excel and saved again as "CSV UTF-8": quotes only
// where needed, no trailing column, LF, and the codes of prefecture 6 ("06…")
// without their leading zeros.
TEST_F(LocalSiteTest, AListExcelSavedAgainComparesAsTheListItWasSavedFrom) {
  RunningSite before;
  RunningSite after({}, sitesim::kDefaultSeed, {}, 0.1);
  const std::string old_csv = dir_.File("before.csv");
  const std::string new_csv = dir_.File("after.csv");
  const std::string saved = dir_.File("saved.csv");
  ASSERT_EQ(Collect(before, "6", "1", old_csv), cli::kExitWrote) << err_.str();
  ASSERT_EQ(Collect(after, "6", "1", new_csv), cli::kExitWrote) << err_.str();
  const std::string collected = test::ReadCsv(old_csv);
  ASSERT_TRUE(collected.find("\r\n\"06") != std::string::npos);
  test::WriteFile(saved, test::ExcelResave(collected));
  ASSERT_EQ(test::ReadFile(saved).find("\n06"), std::string::npos);

  const std::string expected_report = dir_.File("expected.csv");
  ASSERT_EQ(Run({"diff", old_csv, new_csv, "--output", expected_report}), cli::kExitWrote);
  const std::string expected_counts = out_.str().substr(out_.str().find('\t'));
  ASSERT_NE(expected_counts, "\t0\t0\t0\n");
  const std::string warning = "警告: 病院IDの先頭の 0 が消えています";
  struct Case {
    const char* name;
    std::string old_csv, new_csv;
    std::string counts;
  } cases[] = {
      {"the list against its re-save", old_csv, saved, "\t0\t0\t0\n"},
      {"the re-save against next month's list", saved, new_csv, expected_counts},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string report = dir_.File("report.csv");
    ASSERT_EQ(Run({"diff", c.old_csv, c.new_csv, "--output", report}), cli::kExitWrote)
        << err_.str();
    EXPECT_EQ(out_.str(), report + c.counts);
    // One warning, naming the file saved again, and the summary.
    const std::string err = err_.str();
    EXPECT_EQ(err.rfind(warning, 0), 0u) << err;
    EXPECT_NE(err.find("(" + saved + ": "), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;
    if (c.new_csv == new_csv) {
      EXPECT_EQ(NewAndChanged(report), NewAndChanged(expected_report));
    }
  }
}

}  // namespace
}  // namespace valmeric
