#include "engine/plan.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>

#include "common/text/text_encoding.h"
#include "refdb/reference_db.h"
#include "refdb/statements.h"
#include "support/euc.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace valmeric {
namespace {

using test::Sjis;

TEST(PlanStatements, AreTheSelectsOfTheTickedCodes) {
  EXPECT_EQ(sql::SubCategoryQuery({1, 3}),
            "SELECT SubCtgrCode, SubCtgrName FROM T02_Category WHERE CtgrCode = 1 OR CtgrCode = 3 "
            "ORDER BY ID");
  EXPECT_EQ(sql::CityQuery({1, 13, 47}),
            "SELECT AreaCode, CityCode, CityName FROM T01_City WHERE AreaCode = 1 OR AreaCode = 13 "
            "OR AreaCode = 47 ORDER BY AreaCode, CityCode");
  std::vector<int> all(47);
  for (int i = 0; i < 47; ++i) all[static_cast<size_t>(i)] = i + 1;
  const std::string city = sql::CityQuery(all);
  size_t terms = 0;
  for (size_t at = city.find("AreaCode = "); at != std::string::npos;
       at = city.find("AreaCode = ", at + 1))
    ++terms;
  EXPECT_EQ(terms, 47u);
}

TEST(AreaCode, PadsPrefectureToTwoAndCityToThreeDigits) {
  EXPECT_EQ(FormatAreaCode(1, 27), "01027");
  EXPECT_EQ(FormatAreaCode(47, 201), "47201");
  EXPECT_EQ(FormatAreaCode(13, 1234), "131234");
}

class PlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::CreateTestDatabase(
        path_,
        {{1, 202, "函館市"}, {1, 101, "札幌市中央区"}, {13, 101, "千代田区"}, {2, 201, "青森市"}},
        {{1, 110, "一般内科"},
         {2, 210, "一般外科"},
         {1, 120, "循環器内科"},
         {1, 90, "呼吸器内科"}});
  }
  test::TempDir dir_;
  std::string path_ = dir_.File("hpt_data.db");
};

TEST_F(PlanTest, CitiesOuterSubCategoriesInnerInTableOrder) {
  ReferenceDb db(path_);
  const auto plan = BuildPlan(db.db(), {{1}, {1}}).Entries();
  const std::vector<std::string> expected = {
      Sjis("1,札幌市中央区,01101,110,一般内科"),  Sjis("1,札幌市中央区,01101,120,循環器内科"),
      Sjis("1,札幌市中央区,01101,90,呼吸器内科"), Sjis("1,函館市,01202,110,一般内科"),
      Sjis("1,函館市,01202,120,循環器内科"),      Sjis("1,函館市,01202,90,呼吸器内科")};
  EXPECT_EQ(plan, expected);
}

TEST_F(PlanTest, SizeIsCitiesTimesSubCategoriesAndEmptyPrefecturesAddNothing) {
  ReferenceDb db(path_);
  EXPECT_EQ(BuildPlan(db.db(), {{1, 2}, {1, 2, 13}}).size(), 4u * 4u);
  EXPECT_TRUE(BuildPlan(db.db(), {{1}, {5}}).empty());
  EXPECT_TRUE(BuildPlan(db.db(), {{7}, {1}}).empty());
}

// An empty plan has a cause the user can be told instead of "nothing found".
TEST_F(PlanTest, GapsInTheReferenceTablesAreFoundForTheSelection) {
  struct Case {
    const char* name;
    const char* emptied;  // a table emptied first, or nullptr
    Selection selection;
    ReferenceGaps expected;
  } cases[] = {
      {"nothing missing", nullptr, {{1, 2}, {1, 13}}, {}},
      {"a ticked prefecture without cities",
       nullptr,
       {{1}, {1, 5, 47}},
       {false, false, {5, 47}, {}}},
      {"a ticked category without sub-categories", nullptr, {{1, 7}, {1}}, {false, false, {}, {7}}},
      {"no city at all", "T01_City", {{1}, {1, 2}}, {true, false, {1, 2}, {}}},
      {"no sub-category at all", "T02_Category", {{1, 2}, {1}}, {false, true, {}, {1, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string path = dir.File("hpt_data.db");
    test::CreateTestDatabase(path, {{1, 202, "函館市"}, {13, 101, "千代田区"}, {2, 201, "青森市"}},
                             {{1, 110, "一般内科"}, {2, 210, "一般外科"}});
    if (c.emptied) test::ExecuteOn(path, std::string("DELETE FROM ") + c.emptied);
    ReferenceDb db(path);
    const ReferenceGaps gaps = FindReferenceGaps(db.db(), c.selection);
    EXPECT_EQ(gaps.no_cities, c.expected.no_cities);
    EXPECT_EQ(gaps.no_sub_categories, c.expected.no_sub_categories);
    EXPECT_EQ(gaps.prefectures_without_cities, c.expected.prefectures_without_cities);
    EXPECT_EQ(gaps.categories_without_sub_categories, c.expected.categories_without_sub_categories);
  }
}

TEST_F(PlanTest, AFailingQueryIsReported) {
  ReferenceDb db(path_);
  test::ExecuteOn(path_, "DROP TABLE T01_City");
  EXPECT_THROW(BuildPlan(db.db(), {{1}, {1}}), DbError);
}

TEST(PairStatus, ShowsPrefectureCityAndSubCategoryWithTheCounts) {
  struct Case {
    PlanPair pair;
    int done, total;
    std::string status;
  } cases[] = {
      {{"1", Sjis("札幌市中央区"), "01101", "110", Sjis("一般内科")},
       2,
       5,
       Sjis("北海道札幌市中央区 - 一般内科 (2/5)")},
      {{"47", Sjis("那覇市"), "47201", "110", Sjis("一般内科")},
       0,
       0,
       Sjis("沖縄県那覇市 - 一般内科 (0/0)")},
      {{"0", "x", "00001", "1", "y"}, 1, 1, "x - y (1/1)"},
      // Names holding a comma, or none, are shown as they are.
      {{"1", "", "01101", "110", "a,b"}, 0, 0, Sjis("北海道 - a,b (0/0)")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PairStatusText(c.pair.Place(), c.done, c.total), c.status);
    EXPECT_TRUE(c.pair.Askable());
  }
  EXPECT_EQ((PlanPair{"1", "a,b", "01101", "110", ""}.Text()), "1,a,b,01101,110,");
  EXPECT_FALSE((PlanPair{"1", "x", "01101", "", "y"}.Askable()));
  EXPECT_FALSE((PlanPair{"1", "x", "01101", "11/0", "y"}.Askable()));
}

TEST(ReferenceDb, NeverCreatesTheFileAndRefusesOneWithoutOurTables) {
  test::TempDir dir;
  EXPECT_THROW(ReferenceDb(dir.File("missing.db")), DbError);
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing.db")));
  test::WriteFile(dir.File("junk.db"), std::string(4096, 'x'));
  EXPECT_THROW(ReferenceDb(dir.File("junk.db")), DbError);
  test::ExecuteOn(dir.File("other.db"), "CREATE TABLE t (x)");
  EXPECT_THROW(ReferenceDb(dir.File("other.db")), DbError);
}

// SQLite takes an empty file for an empty database and would write into it.
TEST(ReferenceDb, RefusesAnEmptyFileAsNotADatabaseAndLeavesItEmpty) {
  test::TempDir dir;
  const std::string path = dir.File("empty.db");
  test::WriteFile(path, "");
  int code = 0;
  try {
    ReferenceDb db(path);
  } catch (const DbError& error) {
    code = error.code();
  }
  EXPECT_EQ(code, SQLITE_NOTADB);
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
  for (const char* suffix : {"-wal", "-shm", "-journal"}) {
    EXPECT_FALSE(std::filesystem::exists(path + suffix)) << suffix;
  }
}

// SQLite reads whatever -wal file stands beside a database and, on the last
// close, copies its pages into the file: one of another database makes the
// file another database's, or breaks it. Only a -wal that can be the
// database's own is taken; one that holds no committed change is harmless.
TEST(ReferenceDb, TakesOnlyAWalThatCanBeItsOwn) {
  test::TempDir dir;
  const std::string foreign = test::AnotherDatabasesWal(dir.File("another.db"));
  ASSERT_GT(foreign.size(), 32u + 24u + 4096u);
  std::string broken = foreign;
  broken[32 + 24 + 100] ^= 0x55;  // the first frame's checksum no longer holds
  const struct {
    const char* name;
    std::function<void(const std::string& db)> arrange;
    bool refused;
  } cases[] = {
      {"NoWal", [](const std::string&) {}, false},
      {"EmptyWal", [](const std::string& db) { test::WriteFile(db + "-wal", ""); }, false},
      {"HeaderOnly",
       [&](const std::string& db) { test::WriteFile(db + "-wal", foreign.substr(0, 32)); }, false},
      {"BrokenFirstFrame", [&](const std::string& db) { test::WriteFile(db + "-wal", broken); },
       false},
      {"AnotherDatabasesWal", [&](const std::string& db) { test::WriteFile(db + "-wal", foreign); },
       true},
      // Its own, as a run that was killed leaves it: the file in write-ahead-log
      // mode, and page 1 in the -wal with the file's application id.
      {"ItsOwnAfterAKill",
       [](const std::string& db) {
         test::ExecuteOn(db, "PRAGMA application_id = 12345");
         test::LeaveInWal(db,
                          "UPDATE T01_City SET CityName = 'kept' WHERE CityCode = 101; "
                          "CREATE TABLE Later (x)");
       },
       false},
      {"AnotherDatabasesBesideAFileInItsMode",
       [&](const std::string& db) {
         test::ExecuteOn(db, "PRAGMA application_id = 12345");
         test::ExecuteOn(db, "PRAGMA journal_mode=WAL");
         test::WriteFile(db + "-wal", foreign);
       },
       true},
      // A file an earlier release left in write-ahead-log mode has no id to
      // tell its own page 1 by.
      {"AnotherDatabasesBesideAFileOfAnEarlierRelease",
       [&](const std::string& db) {
         test::ExecuteOn(db, "PRAGMA journal_mode=WAL");
         test::WriteFile(db + "-wal", foreign);
       },
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string db = dir.File(std::string(c.name) + ".db");
    test::CreateTestDatabase(db, {{1, 101, "札幌市中央区"}, {1, 202, "函館市"}},
                             {{1, 110, "一般内科"}});
    c.arrange(db);
    const std::string file = test::ReadFile(db);
    const bool had_wal = std::filesystem::exists(db + "-wal");
    const std::string wal = had_wal ? test::ReadFile(db + "-wal") : "";
    std::string refusal;
    try {
      ReferenceDb opened(db);
      EXPECT_EQ(test::QueryColumn(db, "SELECT COUNT(*) FROM T01_City WHERE CityName = 'kept'"),
                std::vector<std::string>{c.name == std::string("ItsOwnAfterAKill") ? "1" : "0"});
    } catch (const DbError& error) {
      refusal = error.what();
    }
    EXPECT_EQ(!refusal.empty(), c.refused) << refusal;
    if (!c.refused) continue;
    EXPECT_NE(refusal.find(db + "-wal"), std::string::npos) << refusal;
    EXPECT_EQ(test::ReadFile(db), file);
    EXPECT_TRUE(std::filesystem::exists(db + "-wal"));
    if (std::filesystem::exists(db + "-wal")) {
      EXPECT_EQ(test::ReadFile(db + "-wal"), wal);
    }
  }
}

}  // namespace
}  // namespace valmeric
