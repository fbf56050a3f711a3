#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "refdb/schema.h"
#include "refdb_writer.h"
#include "reference_data.h"
#include "running_site.h"
#include "support/named_case.h"

namespace valmeric::refdata {
namespace {

namespace fs = std::filesystem;

class TempDir final {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "sitesim-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

const std::string kData = VALMERIC_TEST_DATA_DIR;

TEST(ReferenceData, CommittedCitiesCoverEveryPrefecture) {
  auto cities = LoadCities(kData + "/cities.tsv");
  EXPECT_GT(cities.size(), 1800u);
  std::set<int> prefectures;
  for (const auto& c : cities) prefectures.insert(c.prefecture);
  EXPECT_EQ(prefectures.size(), 47u);
  // The wards stand in for the designated city: Sapporo's Chuo ward is 1/101
  // and Sapporo itself (1/100) is absent.
  EXPECT_EQ(cities.front().prefecture, 1);
  EXPECT_EQ(cities.front().code, 101);
  EXPECT_EQ(cities.front().name, "中央区");
  for (const auto& c : cities) EXPECT_FALSE(c.prefecture == 14 && c.code == 100);
}

TEST(ReferenceData, CommittedSubCategoriesFillTenCategories) {
  auto subs = LoadSubCategories(kData + "/subcategories.tsv");
  EXPECT_GE(subs.size(), 60u);
  EXPECT_LE(subs.size(), 90u);
  std::map<int, int> per_category;
  for (const auto& s : subs) ++per_category[s.category];
  EXPECT_EQ(per_category.size(), 10u);
  for (const auto& [category, n] : per_category) EXPECT_GE(n, 3) << category;
}

TEST(ReferenceData, EveryCityWithPostalCodesGetsAFewOfThem) {
  const auto& data = valmeric::sitesim::testing::SharedData();
  std::size_t without = 0;
  for (const auto& c : data.cities()) {
    without += c.places.empty();
    EXPECT_LE(c.places.size(), 3u) << c.name;
  }
  // Only the Northern Territories villages have no postal service.
  EXPECT_EQ(without, 6u);
}

struct BadFile {
  const char* name;
  const char* file;
  const char* text;
};
VALMERIC_PRINT_CASE_BY_NAME(BadFile)

class BadReferenceFile : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadReferenceFile, IsRefused) {
  TempDir dir;
  const fs::path path = dir / GetParam().file;
  WriteFile(path, GetParam().text);
  if (std::string(GetParam().file) == "cities.tsv") {
    EXPECT_THROW(LoadCities(path.string()), std::runtime_error);
  } else {
    EXPECT_THROW(LoadSubCategories(path.string()), std::runtime_error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadReferenceFile,
    ::testing::Values(BadFile{"two_columns", "cities.tsv", "1\t101\n"},
                      BadFile{"out_of_order", "cities.tsv", "1\t102\tA\n1\t101\tB\n"},
                      BadFile{"duplicate_city", "cities.tsv", "1\t101\tA\n1\t101\tB\n"},
                      BadFile{"prefecture_48", "cities.tsv", "48\t101\tA\n"},
                      BadFile{"not_a_number", "cities.tsv", "1\t10x\tA\n"},
                      BadFile{"duplicate_code", "subcategories.tsv", "1\t110\tA\n2\t110\tB\n"},
                      BadFile{"category_11", "subcategories.tsv", "11\t110\tA\n"},
                      BadFile{"categories_back", "subcategories.tsv", "2\t210\tA\n1\t110\tB\n"},
                      BadFile{"empty_name", "subcategories.tsv", "1\t110\t\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReferenceData, CrLfFilesReadLikeLfFiles) {
  TempDir dir;
  WriteFile(dir / "cities.tsv", "1\t101\t中央区\r\n13\t101\t千代田区\r\n");
  auto cities = LoadCities((dir / "cities.tsv").string());
  ASSERT_EQ(cities.size(), 2u);
  EXPECT_EQ(cities[1].name, "千代田区");
}

std::vector<std::string> Column(sqlite3* db, const std::string& sql) {
  std::vector<std::string> out;
  sqlite3_stmt* stmt = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      if (i) row += "|";
      auto text = sqlite3_column_text(stmt, i);
      row += text ? reinterpret_cast<const char*>(text) : "NULL";
    }
    out.push_back(row);
  }
  sqlite3_finalize(stmt);
  return out;
}

TEST(ReferenceDatabase, HoldsTheThreeTablesInPageOrder) {
  TempDir dir;
  const std::string db_path = (dir / "hpt_data.db").string();
  WriteFile(db_path, "an old file that must go");
  std::vector<City> cities = {{1, 101, "中央区"}, {1, 202, "函館市"}, {13, 101, "千代田区"}};
  std::vector<SubCategory> subs = {
      {1, 110, "一般内科"}, {1, 123, "老年内科"}, {1, 122, "感染症内科"}, {10, 950, "動物病院"}};
  WriteReferenceDatabase(db_path, cities, subs);
  EXPECT_FALSE(fs::exists(db_path + ".new"));

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  EXPECT_EQ(
      Column(db,
             "SELECT sql FROM sqlite_master WHERE type='table' AND name LIKE 'T0%' ORDER BY name"),
      std::vector<std::string>(std::begin(schema::kCreateTables), std::end(schema::kCreateTables)));
  EXPECT_EQ(Column(db, "SELECT COUNT(*) FROM T00_Data"), std::vector<std::string>{"0"});
  EXPECT_EQ(Column(db,
                   "SELECT AreaCode, CityCode, CityName, typeof(CityCode) FROM T01_City "
                   "WHERE AreaCode = 1 OR AreaCode = 13 ORDER BY AreaCode, CityCode"),
            (std::vector<std::string>{"1|101|中央区|integer", "1|202|函館市|integer",
                                      "13|101|千代田区|integer"}));
  EXPECT_EQ(Column(db,
                   "SELECT ID, CtgrCode, SubCtgrCode, SubCtgrName FROM T02_Category "
                   "WHERE CtgrCode = 1 OR CtgrCode = 10 ORDER BY ID"),
            (std::vector<std::string>{"1|1|110|一般内科", "2|1|123|老年内科", "3|1|122|感染症内科",
                                      "4|10|950|動物病院"}));
  EXPECT_EQ(Column(db, "PRAGMA journal_mode"), std::vector<std::string>{"delete"});
  sqlite3_close(db);
}

}  // namespace
}  // namespace valmeric::refdata
