#include "engine/duplicate_filter.h"

#include <gtest/gtest.h>

#include "refdb/reference_db.h"
#include "support/euc.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace valmeric {
namespace {

class DuplicateFilterTest : public ::testing::Test {
 protected:
  void SetUp() override { test::CreateTestDatabase(path_, {}, {}); }
  test::TempDir dir_;
  std::string path_ = dir_.File("hpt_data.db");
};

TEST_F(DuplicateFilterTest, RecordsACodeTheFirstTimeAndKnowsItAfterwards) {
  ReferenceDb db(path_);
  DuplicateFilter filter(db.db());
  const std::string codes[] = {"0131012345", "O'Brien", "a'; DROP TABLE T00_Data; --",
                               test::Sjis("病院'１"), "\"q\""};
  for (const std::string& code : codes) EXPECT_FALSE(filter.CheckHspCode(code)) << code;
  for (const std::string& code : codes) EXPECT_TRUE(filter.CheckHspCode(code)) << code;
  // Stored as UTF-8 text, one row per code, once committed.
  filter.Commit();
  const auto rows = test::QueryColumn(path_, "SELECT Hsp_code FROM T00_Data ORDER BY rowid");
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[1], "O'Brien");
  EXPECT_EQ(rows[3], "病院'１");
}

TEST_F(DuplicateFilterTest, ClearingStartsTheNextRunEmpty) {
  ReferenceDb db(path_);
  DuplicateFilter filter(db.db());
  EXPECT_FALSE(filter.CheckHspCode("1"));
  db.ClearSeenCodes();
  EXPECT_FALSE(filter.CheckHspCode("1"));
}

TEST_F(DuplicateFilterTest, ACodeTheTableRefusesIsStillRecognisedLater) {
  ReferenceDb db(path_);
  test::ExecuteOn(
      path_,
      "CREATE TRIGGER refuse BEFORE INSERT ON T00_Data BEGIN SELECT RAISE(ABORT, 'full'); END");
  DuplicateFilter filter(db.db());
  EXPECT_FALSE(filter.CheckHspCode("7"));  // new: its line is written
  EXPECT_TRUE(filter.CheckHspCode("7"));   // and never a second time
  EXPECT_FALSE(filter.CheckHspCode("8"));
}

TEST_F(DuplicateFilterTest, AFailingLookUpIsReported) {
  ReferenceDb db(path_);
  DuplicateFilter filter(db.db());
  test::ExecuteOn(path_, "DROP TABLE T00_Data");
  EXPECT_THROW(filter.CheckHspCode("1"), DbError);
}

}  // namespace
}  // namespace valmeric
