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
  journal.SaveProgress({40, -77, 12, 123456789012, 345});
  for (int index : {9, 3, 7, 11})
    journal.AddNotFetched(index, test::Sjis("1,札幌市中央区,01101,110,一般内科"));
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
  EXPECT_EQ(run->plan_size, 40);
  EXPECT_EQ(run->plan_check, -77);
  EXPECT_EQ(run->entries_done, 12);
  EXPECT_EQ(run->csv_bytes, 123456789012);
  EXPECT_EQ(run->facilities_written, 345);
  EXPECT_EQ(RunJournal::NotFetched(db.db()), (std::vector<int>{3, 9}));
  EXPECT_EQ(run->not_fetched, 2);
  EXPECT_EQ(run->beyond_first_page, 26);
  EXPECT_EQ(run->beyond_pairs, 2);
  const auto pairs = RunJournal::BeyondFirstPage(db.db());
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[1].sub_category_code, "120");

  // A new run drops all of it.
  RunJournal::StartNew(db.db(), Run());
  const auto fresh = RunJournal::Read(db.db());
  EXPECT_EQ(fresh->plan_size, -1);
  EXPECT_EQ(fresh->not_fetched, 0);
  EXPECT_EQ(fresh->beyond_pairs, 0);
}

}  // namespace
}  // namespace valmeric
