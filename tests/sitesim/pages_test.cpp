#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "running_site.h"
#include "site_reader.h"

namespace valmeric::sitesim::testing {
namespace {

constexpr const char* kHtmlType = "text/html; charset=EUC-JP";

class PagesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { site_ = new RunningSite(); }
  static void TearDownTestSuite() {
    delete site_;
    site_ = nullptr;
  }

  static std::string Body(const std::string& path, int expected_status = 200) {
    auto res = site_->Get(path);
    EXPECT_TRUE(res) << path << ": " << httplib::to_string(res.error());
    if (!res) return {};
    EXPECT_EQ(res->status, expected_status) << path;
    EXPECT_EQ(res->get_header_value("Content-Type"), kHtmlType) << path;
    return res->body;
  }

  static int CountTrimmedLines(const std::string& body, auto predicate) {
    int n = 0;
    for (const auto& line : SplitLines(body)) n += predicate(Trim(line), line) ? 1 : 0;
    return n;
  }

  static RunningSite* site_;
};

RunningSite* PagesTest::site_ = nullptr;

TEST_F(PagesTest, PagesAreEucJpAndSurviveTheTripToShiftJis) {
  for (std::string path : {"/doko/city.php?pref_no=13", "/doko/kamoku.php?pref_no=01&city_no=27",
                           "/doko/kekka.php/13101110/", "/doko/nothing-here"}) {
    std::string body = Body(path, path == "/doko/nothing-here" ? 404 : 200);
    ASSERT_FALSE(body.empty()) << path;
    std::string utf8;
    ASSERT_NO_THROW(utf8 = Convert(body, "EUC-JP-MS", "UTF-8")) << path;
    EXPECT_NE(utf8, body) << path << " holds no Japanese text at all";
    EXPECT_NO_THROW(EucToSjis(body)) << path;
    // UTF-8 bytes of a common word must not appear raw: the page really is EUC-JP.
    EXPECT_EQ(body.find("病院"), std::string::npos) << path;
    EXPECT_NE(utf8.find("病院"), std::string::npos) << path;
  }
}

class CityPageTest : public PagesTest, public ::testing::WithParamInterface<int> {};

TEST_P(CityPageTest, ListsEveryCityOfThePrefectureWithItsCode) {
  const int pref = GetParam();
  const std::string body = Body("/doko/city.php?pref_no=" + std::to_string(pref));
  const auto rows = ReadCityPage(body);
  const auto cities = SharedData().CitiesOf(pref);
  ASSERT_EQ(rows.size(), cities.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].code, std::to_string(cities[i].code)) << i;
    EXPECT_EQ(rows[i].name, cities[i].name) << i;
  }
  // No other line of the page looks like a city line.
  int marker_lines = CountTrimmedLines(body, [](const std::string& t, const std::string&) {
    return t.size() >= 6 && t.compare(2, 4, "i><i") == 0;
  });
  EXPECT_EQ(marker_lines, static_cast<int>(cities.size()));
}

INSTANTIATE_TEST_SUITE_P(Prefectures, CityPageTest, ::testing::Values(1, 13, 14, 27, 31, 47));

TEST_F(PagesTest, UnknownPrefecturesAreNotFound) {
  for (std::string q : {"0", "48", "x", "", "-1"}) Body("/doko/city.php?pref_no=" + q, 404);
  Body("/doko/city.php", 404);
}

TEST_F(PagesTest, SubCategoryPageHoldsTenHeadingsAndEverySubCategoryInOrder) {
  const std::string body = Body("/doko/kamoku.php?pref_no=01&city_no=27");
  const auto rows = ReadSubCategoryPage(body);
  const auto& subs = SharedData().subcategories();
  ASSERT_EQ(rows.size(), subs.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].category, subs[i].category) << i;
    EXPECT_EQ(rows[i].code, std::to_string(subs[i].code)) << i;
    EXPECT_EQ(rows[i].name, subs[i].name) << i;
  }
  EXPECT_EQ(CountTrimmedLines(body, [](const std::string& t,
                                       const std::string&) { return t.compare(0, 3, "<h4") == 0; }),
            10);
  EXPECT_EQ(CountTrimmedLines(body,
                              [](const std::string& t, const std::string& raw) {
                                return t.compare(0, 3, "<li") == 0 &&
                                       raw.find("kekka.php") != std::string::npos;
                              }),
            static_cast<int>(subs.size()));
}

TEST_F(PagesTest, ResultPagesAnnounceTheTrueTotalAndListAtMostTwenty) {
  // Pick pairs of every kind: empty, small, exactly full, and more than a page.
  const FacilityModel& model = site_->model();
  const auto& data = SharedData();
  int seen_empty = 0, seen_small = 0, seen_big = 0;
  for (int city = 0; city < static_cast<int>(data.cities().size()) && seen_big < 3; city += 7) {
    for (const auto& sub : data.subcategories()) {
      const int total = model.List(city, sub).total();
      int& seen = total == 0 ? seen_empty : total <= 20 ? seen_small : seen_big;
      if (seen >= 3) continue;
      ++seen;
      const auto& c = data.cities()[static_cast<std::size_t>(city)];
      char path[64];
      std::snprintf(path, sizeof path, "/doko/kekka.php/%02d%03d%d/", c.prefecture, c.code,
                    sub.code);
      const std::string body = Body(path);
      const ResultPage page = ReadResultPage(body);
      EXPECT_EQ(page.announced, total) << path;
      EXPECT_EQ(static_cast<int>(page.entries.size()), std::min(total, 20)) << path;
      const int entry_lines = [&] {
        auto lines = SplitLines(body);
        int n = 0;
        for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
          std::string t = Trim(lines[i]), u = Trim(lines[i + 1]);
          n += t.compare(0, 4, "<h1>") == 0 && u.compare(0, 3, "<a ") == 0;
        }
        return n;
      }();
      EXPECT_EQ(entry_lines, std::min(total, 20)) << path;
      EXPECT_LE(entry_lines, page.announced) << path;
      for (const Record& r : page.entries) {
        EXPECT_EQ(r[0].size(), 10u) << path;
        EXPECT_EQ(r[7], r[7].substr(0, r[7].find('/') + 1) + r[0] + "/") << path;
        EXPECT_TRUE(r[3].starts_with(SiteData::PrefectureName(c.prefecture))) << r[3];
      }
    }
  }
  EXPECT_EQ(seen_empty, 3);
  EXPECT_EQ(seen_small, 3);
  EXPECT_EQ(seen_big, 3);
}

TEST_F(PagesTest, StandardEntryShapeGivesAllEightFields) {
  const ResultPage page = ReadResultPage(Body("/doko/kekka.php/13104110/"));
  ASSERT_GT(page.entries.size(), 5u);
  int complete = 0, home = 0;
  for (const Record& r : page.entries) {
    EXPECT_TRUE(r[2].starts_with("〒")) << r[0];
    EXPECT_EQ(r[2].size(), std::string("〒123-4567").size()) << r[0];
    // Shinjuku's list also carries a few facilities from next door (Minato).
    home += r[3].starts_with("東京都新宿区");
    EXPECT_TRUE(r[3].starts_with("東京都新宿区") || r[3].starts_with("東京都港区")) << r[3];
    EXPECT_FALSE(r[6].empty()) << r[0];
    complete += std::all_of(r.begin(), r.end(), [](const std::string& f) { return !f.empty(); });
  }
  EXPECT_GE(complete * 10, static_cast<int>(page.entries.size()) * 8);
  EXPECT_GT(home * 2, static_cast<int>(page.entries.size()));
}

TEST_F(PagesTest, ResultPathsThatNameNoPairAreNotFound) {
  for (std::string path :
       {"/doko/kekka.php/01101999/", "/doko/kekka.php/99101110/", "/doko/kekka.php/01999110/",
        "/doko/kekka.php/0110111/", "/doko/kekka.php/01101110", "/doko/kekka.php/0110111x/"}) {
    Body(path, 404);
  }
}

TEST_F(PagesTest, LaterPagesContinueWhereTheFirstEnds) {
  // Find a pair with more than one page and compare page 2 with the model.
  const FacilityModel& model = site_->model();
  const auto& data = SharedData();
  int city = data.FindCity(13, 104);
  const auto* sub = data.FindSubCategory(110);
  ASSERT_TRUE(city >= 0 && sub != nullptr);
  const Listing listing = model.List(city, *sub);
  ASSERT_GT(listing.total(), 20) << "the Shinjuku internal medicine list should need two pages";
  const ResultPage second = ReadResultPage(Body("/doko/kekka.php/13104110/?page=2"));
  EXPECT_EQ(second.announced, listing.total());
  ASSERT_EQ(static_cast<int>(second.entries.size()), std::min(20, listing.total() - 20));
  EXPECT_EQ(second.entries.front()[0], model.Code(listing.members[20]));
}

}  // namespace
}  // namespace valmeric::sitesim::testing
