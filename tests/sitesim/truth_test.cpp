#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "running_site.h"
#include "site_reader.h"

namespace valmeric::sitesim::testing {
namespace {

std::vector<Record> ParseTsv(const std::string& tsv) {
  std::vector<Record> rows;
  std::istringstream in(tsv);
  std::string line;
  while (std::getline(in, line)) {
    Record r;
    std::size_t start = 0;
    for (std::size_t f = 0; f < r.size(); ++f) {
      std::size_t tab = line.find('\t', start);
      r[f] = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
      if (tab == std::string::npos) {
        EXPECT_EQ(f, r.size() - 1) << "short line: " << line;
        break;
      }
      start = tab + 1;
    }
    rows.push_back(std::move(r));
  }
  return rows;
}

class TruthTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { site_ = new RunningSite(); }
  static void TearDownTestSuite() {
    delete site_;
    site_ = nullptr;
  }

  static std::string Listed(const std::string& query) {
    auto res = site_->Get("/_sim/listed?" + query);
    EXPECT_TRUE(res);
    if (!res) return {};
    EXPECT_EQ(res->status, 200) << query;
    return res->body;
  }

  // What a collector writes for one prefecture and category: every pair in
  // city order, then sub-category page order, each facility once; with
  // all_pages, each pair's pages in order by their next links.
  static std::vector<Record> Crawl(int pref, int category, bool all_pages = false) {
    std::vector<Record> out;
    std::set<std::string> seen;
    for (const CityInfo& city : SharedData().CitiesOf(pref)) {
      for (const auto& sub : SharedData().subcategories()) {
        if (sub.category != category) continue;
        char path[64];
        std::snprintf(path, sizeof path, "/doko/kekka.php/%02d%03d%d/", city.prefecture, city.code,
                      sub.code);
        for (std::string address = path; !address.empty();) {
          auto res = site_->Get(address);
          EXPECT_TRUE(res && res->status == 200) << address;
          if (!res) break;
          for (Record& r : ReadResultPage(res->body).entries) {
            if (seen.insert(r[0]).second) out.push_back(std::move(r));
          }
          const auto next = FindNextLinks(res->body);
          address = all_pages && !next.empty() ? Resolve(address, next.front().href) : "";
        }
      }
    }
    return out;
  }

  static RunningSite* site_;
};

RunningSite* TruthTest::site_ = nullptr;

struct CrawlCase {
  int pref;
  int category;
};
inline void PrintTo(const CrawlCase& c, std::ostream* os) {
  *os << "prefecture " << c.pref << " category " << c.category;
}

class TruthCrawlTest : public TruthTest, public ::testing::WithParamInterface<CrawlCase> {};

TEST_P(TruthCrawlTest, ListedFacilitiesAreExactlyWhatTheResultPagesYield) {
  const auto [pref, category] = GetParam();
  const auto crawled = Crawl(pref, category);
  const auto truth =
      ParseTsv(Listed("pref_no=" + std::to_string(pref) + "&ctgr=" + std::to_string(category)));
  ASSERT_FALSE(truth.empty());
  ASSERT_EQ(crawled.size(), truth.size());
  for (std::size_t i = 0; i < truth.size(); ++i) {
    EXPECT_EQ(crawled[i], truth[i]) << "facility " << i << " " << truth[i][0];
  }
}

TEST_P(TruthCrawlTest, EveryPageListingIsExactlyWhatWalkingEveryPageYields) {
  const auto [pref, category] = GetParam();
  const auto crawled = Crawl(pref, category, true);
  const auto truth = ParseTsv(Listed("pref_no=" + std::to_string(pref) +
                                     "&ctgr=" + std::to_string(category) + "&pages=all"));
  ASSERT_EQ(crawled.size(), truth.size());
  for (std::size_t i = 0; i < truth.size(); ++i) {
    EXPECT_EQ(crawled[i], truth[i]) << "facility " << i << " " << truth[i][0];
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, TruthCrawlTest,
                         ::testing::Values(CrawlCase{31, 9}, CrawlCase{13, 10}, CrawlCase{13, 1},
                                           CrawlCase{1, 3}, CrawlCase{47, 2}),
                         [](const auto& info) {
                           return "pref" + std::to_string(info.param.pref) + "_category" +
                                  std::to_string(info.param.category);
                         });

TEST_F(TruthTest, CommaListsAndAllCoverTheSameFacilities) {
  const auto both = ParseTsv(Listed("pref_no=31,32&ctgr=4,9"));
  std::set<std::string> expected;
  for (std::string q : {"pref_no=31&ctgr=4,9", "pref_no=32&ctgr=9,4"}) {
    for (const auto& r : ParseTsv(Listed(q))) expected.insert(r[0]);
  }
  std::set<std::string> got;
  for (const auto& r : both) got.insert(r[0]);
  EXPECT_EQ(got, expected);
  EXPECT_EQ(got.size(), both.size()) << "a facility was listed twice";
  EXPECT_EQ(Listed("pref_no=31&ctgr=all"), Listed("pref_no=31&ctgr=1,2,3,4,5,6,7,8,9,10"));
}

TEST_F(TruthTest, MalformedQueriesAreRejected) {
  for (std::string q :
       {"pref_no=0&ctgr=1", "pref_no=48&ctgr=1", "pref_no=1&ctgr=11", "pref_no=1,&ctgr=1",
        "pref_no=a&ctgr=1", "ctgr=1", "pref_no=1", "pref_no=1&ctgr=1&pages=2"}) {
    auto res = site_->Get("/_sim/listed?" + q);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 400) << q;
  }
  auto health = site_->Get("/_sim/health");
  ASSERT_TRUE(health);
  EXPECT_EQ(health->body, "ok\n");
}

TEST_F(TruthTest, WholeCountryHasUniqueCodesAndShiftJisSafeText) {
  const std::string tsv = Listed("pref_no=all&ctgr=all");
  EXPECT_EQ(Convert(Convert(tsv, "UTF-8", "CP932"), "CP932", "UTF-8"), tsv);
  EXPECT_EQ(Convert(Convert(tsv, "UTF-8", "EUC-JP-MS"), "EUC-JP-MS", "UTF-8"), tsv);
  const auto rows = ParseTsv(tsv);
  EXPECT_GT(rows.size(), 50000u);
  std::set<std::string> codes;
  for (const auto& r : rows) {
    EXPECT_TRUE(codes.insert(r[0]).second) << "code used twice: " << r[0];
    EXPECT_EQ(r[0].size(), 10u);
  }
}

TEST_F(TruthTest, NamesNeedCareAndSomeFieldsAreMissing) {
  const auto rows = ParseTsv(Listed("pref_no=13,27&ctgr=all"));
  const auto raw = ParseTsv(Listed("pref_no=13,27&ctgr=all&decode=0"));
  ASSERT_EQ(rows.size(), raw.size());
  std::map<std::string, int> seen;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Record& r = rows[i];
    const std::string& name = r[1];
    if (name.find('&') != std::string::npos) ++seen["ampersand"];
    if (name.find('"') != std::string::npos) ++seen["quote"];
    if (name.find('\'') != std::string::npos) ++seen["apostrophe"];
    if (name.find("\xEF\xBD") != std::string::npos || name.find("\xEF\xBE") != std::string::npos) {
      ++seen["half-width kana"];
    }
    if (name.find("ＡＢＣ") != std::string::npos) ++seen["full-width latin"];
    if (r[4].empty()) ++seen["no telephone"];
    if (r[5].empty()) ++seen["no station"];
    // Undecoded names keep the markup's references, and only names differ.
    EXPECT_EQ(DecodeReferences(raw[i][1]), name);
    if (raw[i][1] != name) ++seen["reference in markup"];
    for (std::size_t f = 0; f < r.size(); ++f) {
      if (f != 1) {
        EXPECT_EQ(raw[i][f], r[f]);
      }
    }
  }
  for (const char* kind :
       {"ampersand", "quote", "apostrophe", "half-width kana", "full-width latin", "no telephone",
        "no station", "reference in markup"}) {
    EXPECT_GT(seen[kind], 0) << kind;
  }
  EXPECT_LT(seen["no station"] * 5, static_cast<int>(rows.size()));
}

TEST_F(TruthTest, FacilitiesRecurAcrossSubCategoriesAndNeighbouringCities) {
  const FacilityModel& model = site_->model();
  const auto& data = SharedData();
  std::map<std::uint64_t, std::set<int>> cities_of;
  std::map<std::uint64_t, int> pairs_of;
  for (const CityInfo& city : data.CitiesOf(13)) {
    const int index = static_cast<int>(&city - data.cities().data());
    for (const auto& sub : data.subcategories()) {
      for (const FacilityId& id : model.List(index, sub).members) {
        cities_of[id.Key()].insert(index);
        ++pairs_of[id.Key()];
      }
    }
  }
  int two_cities = 0, many_pairs = 0;
  for (const auto& [key, cities] : cities_of) two_cities += cities.size() >= 2;
  for (const auto& [key, n] : pairs_of) many_pairs += n >= 3;
  EXPECT_GT(two_cities, 10);
  EXPECT_GT(many_pairs * 4, static_cast<int>(pairs_of.size()));
}

TEST(Determinism, SameSeedSamePagesOtherSeedOtherPages) {
  RunningSite a, b, c({}, 7);
  for (std::string path :
       {"/doko/kekka.php/13101110/", "/doko/kekka.php/01202910/", "/doko/kekka.php/27128950/",
        "/doko/city.php?pref_no=40", "/_sim/listed?pref_no=31&ctgr=all"}) {
    auto ra = a.Get(path), rb = b.Get(path), again = a.Get(path);
    ASSERT_TRUE(ra && rb && again) << path;
    EXPECT_EQ(ra->body, rb->body) << path;
    EXPECT_EQ(ra->body, again->body) << path;
  }
  auto ra = a.Get("/_sim/listed?pref_no=31&ctgr=all");
  auto rc = c.Get("/_sim/listed?pref_no=31&ctgr=all");
  ASSERT_TRUE(ra && rc);
  EXPECT_NE(ra->body, rc->body);
}

}  // namespace
}  // namespace valmeric::sitesim::testing
