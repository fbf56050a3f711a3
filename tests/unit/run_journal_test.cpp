#include "refdb/run_journal.h"

#include <gtest/gtest.h>

#include "refdb/reference_db.h"
#include "support/euc.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace valmeric {
namespace {

class RunJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::CreateTestDatabase(path_, {{1, 101, "札幌市中央区"}}, {{1, 110, "一般内科"}});
  }

  JournalRun Run() const {
    JournalRun run;
    run.categories = {1, 10};
    run.prefectures = {13};
    run.output_path =
        "/tmp/\xE7\x97\x85\xE9\x99\xA2 list.csv";  // the file system's bytes, kept as they are
    run.encoding = "utf-8";
    return run;
  }

  test::TempDir dir_;
  std::string path_ = dir_.File("hpt_data.db");
};

TEST_F(RunJournalTest, ProgressNotFetchedEntriesAndPairsBeyondTheFirstPageReadBack) {
  ReferenceDb db(path_);
  EXPECT_FALSE(RunJournal::Read(db.db()));  // no journal yet: nothing recorded
  RunJournal::EnsureSchema(db.db());
  RunJournal::StartNew(db.db(), Run());
  RunJournal journal(db.db());
  RunProgress progress;
  progress.plan_size = 40;
  progress.plan_check = -77;
  progress.next_entry = 12;
  progress.csv_bytes = 123456789012;
  progress.facilities_written = 345;
  progress.csv_crc = 0xFEDCBA98u;
  journal.SaveProgress(progress);
  for (int index : {9, 3, 7, 11}) {
    journal.AddNotFetched(index, test::Sjis("1,札幌市中央区,01101,110,一般内科"),
                          index == 3 ? 404 : 503);
  }
  journal.RemoveNotFetched(7);
  journal.RemoveNotFetchedFrom(10);
  journal.AddBeyondFirstPage({5, "01101", "110", 45, 20});
  journal.AddBeyondFirstPage({8, "01101", "120", 21, 20});

  const auto run = RunJournal::Read(db.db());
  ASSERT_TRUE(run);
  EXPECT_EQ(run->categories, (std::vector<int>{1, 10}));
  EXPECT_EQ(run->prefectures, std::vector<int>{13});
  EXPECT_EQ(run->output_path, Run().output_path);
  EXPECT_EQ(run->encoding, "utf-8");
  EXPECT_EQ(run->progress.plan_size, 40);
  EXPECT_EQ(run->progress.plan_check, -77);
  EXPECT_EQ(run->progress.next_entry, 12);
  EXPECT_EQ(run->progress.csv_bytes, 123456789012);
  EXPECT_EQ(run->progress.facilities_written, 345);
  EXPECT_EQ(run->progress.csv_crc, 0xFEDCBA98ll);
  EXPECT_EQ(RunJournal::NotFetched(db.db()), (std::vector<int>{3, 9}));
  EXPECT_EQ(run->progress.not_fetched, 1);  // 9: the site failed
  EXPECT_EQ(run->progress.gone, 1);         // 3: the page does not exist
  EXPECT_EQ(run->progress.beyond_first_page, 26);
  EXPECT_EQ(run->progress.beyond_pairs, 2);
  const auto pairs = RunJournal::BeyondFirstPage(db.db());
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[1].sub_category_code, "120");

  // A new run drops all of it.
  RunJournal::StartNew(db.db(), Run());
  const auto fresh = RunJournal::Read(db.db());
  EXPECT_EQ(fresh->progress.plan_size, -1);
  EXPECT_EQ(fresh->progress.not_fetched, 0);
  EXPECT_EQ(fresh->progress.beyond_pairs, 0);
}

// A record left by the first layout of the journal (no fingerprint, no
// statuses) is read as it is, and kept when the tables gain their columns.
TEST_F(RunJournalTest, ARecordOfTheFirstLayoutIsReadAndKeptByTheUpgrade) {
  test::ExecuteOn(
      path_,
      "CREATE TABLE T03_Run (ID INTEGER PRIMARY KEY CHECK (ID = 1), Categories TEXT "
      "NOT NULL, Prefectures TEXT NOT NULL, OutputPath BLOB NOT NULL, Encoding TEXT "
      "NOT NULL, PlanSize INTEGER NOT NULL, PlanCheck INTEGER NOT NULL, EntriesDone "
      "INTEGER NOT NULL, CsvBytes INTEGER NOT NULL, FacilitiesWritten INTEGER NOT NULL)");
  test::ExecuteOn(path_,
                  "CREATE TABLE T04_NotFetched (PlanIndex INTEGER PRIMARY KEY, PlanEntry TEXT "
                  "NOT NULL)");
  test::ExecuteOn(path_,
                  "CREATE TABLE T05_MorePages (PlanIndex INTEGER PRIMARY KEY, AreaCode TEXT NOT "
                  "NULL, SubCtgrCode TEXT NOT NULL, Announced INTEGER NOT NULL, Listed INTEGER "
                  "NOT NULL)");
  test::ExecuteOn(path_,
                  "INSERT INTO T03_Run VALUES (1, '1', '13', CAST('/tmp/a.csv' AS BLOB), 'cp932', "
                  "9, 5, 4, 300, 2)");
  test::ExecuteOn(path_, "INSERT INTO T04_NotFetched VALUES (2, 'x')");
  ReferenceDb db(path_);
  for (int pass = 0; pass < 2; ++pass) {
    const auto run = RunJournal::Read(db.db());
    ASSERT_TRUE(run);
    EXPECT_EQ(run->progress.next_entry, 4);
    EXPECT_EQ(run->progress.csv_bytes, 300);
    EXPECT_FALSE(run->progress.csv_crc);
    EXPECT_EQ(run->progress.not_fetched, 1);
    EXPECT_EQ(run->progress.gone, 0);
    RunJournal::EnsureSchema(db.db());
  }
  RunJournal journal(db.db());
  RunProgress progress;
  progress.plan_size = 9;
  progress.plan_check = 5;
  progress.next_entry = 5;
  progress.csv_bytes = 400;
  progress.facilities_written = 3;
  progress.csv_crc = 77;
  journal.SaveProgress(progress);
  EXPECT_EQ(RunJournal::Read(db.db())->progress.csv_crc, 77);
}

}  // namespace
}  // namespace valmeric
