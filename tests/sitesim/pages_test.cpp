#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <set>
#include <string>

#include "running_site.h"
#include "site_reader.h"
#include "support/named_case.h"

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
        "/doko/kekka.php/0110111/", "/doko/kekka.php/01101110", "/doko/kekka.php/0110111x/",
        // A page-numbered path, on a site whose pages are numbered by ?page=N.
        "/doko/kekka.php/13105110/page/2/"}) {
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

std::string Sha256Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EXPECT_EQ(EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr), 1);
  std::string hex;
  char two[3];
  for (unsigned int i = 0; i < size; ++i) {
    std::snprintf(two, sizeof two, "%02x", digest[i]);
    hex += two;
  }
  return hex;
}

TEST_F(PagesTest, UsualNextLinksLeaveResultPagesAsTheyWere) {
  // Shinjuku's and Minato's internal medicine pages as the site served them
  // before it learnt other forms of the next link: first, middle and last of
  // six pages, a single page and an empty one.
  std::string bodies;
  for (std::string path :
       {"13105110/", "13105110/?page=2", "13105110/?page=6", "13104111/", "13101612/"}) {
    bodies += Body("/doko/kekka.php/" + path);
  }
  EXPECT_EQ(Sha256Hex(bodies), "55021d4afaa0da7c85af1d9a1ff20613e1d371375fbb670a4dcd169a5baeb891");
}

struct NextLinkCase {
  const char* name;
  NextLinkForm form;
  const char* address;          // page N's address as its previous page links it (%d: N)
  std::set<std::string> texts;  // the anchors' texts over all pages ("" for <link>)
  bool in_head = false;
  bool loops = false;  // the last page links to page 1
};
VALMERIC_PRINT_CASE_BY_NAME(NextLinkCase)

class NextLinkTest : public ::testing::TestWithParam<NextLinkCase> {};

// Walks the six pages of Minato's internal medicine by their next links.
TEST_P(NextLinkTest, EveryPageButTheLastLinksToTheNextInItsForm) {
  const NextLinkCase& c = GetParam();
  FaultOptions faults;
  faults.next_link = c.form;
  RunningSite site(faults);
  const auto& data = SharedData();
  const Listing listing = site.model().List(data.FindCity(13, 105), *data.FindSubCategory(110));
  const int pages = (listing.total() + 19) / 20;
  ASSERT_EQ(pages, 6);
  const auto address_of = [&c](int page) {
    char buf[128];
    std::snprintf(buf, sizeof buf, c.address, page);
    return std::string(buf);
  };
  std::set<std::string> texts;
  std::string address = "/doko/kekka.php/13105110/";
  for (int page = 1; page <= pages; ++page) {
    // Another host's link is never followed; its page is read here by ?page=N.
    if (c.form == NextLinkForm::kOtherHost && page > 1) {
      address = "/doko/kekka.php/13105110/?page=" + std::to_string(page);
    }
    auto res = site.Get(address);
    ASSERT_TRUE(res && res->status == 200) << address;
    const auto entries = ReadResultPage(res->body).entries;
    ASSERT_EQ(entries.size(), std::min<std::size_t>(20, listing.members.size() - (page - 1) * 20));
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i][0], site.model().Code(listing.members[(page - 1) * 20 + i])) << address;
    }
    const auto links = FindNextLinks(res->body);
    const int next = page < pages ? page + 1 : c.loops ? 1 : 0;
    if (next == 0) {
      EXPECT_TRUE(links.empty()) << address << " links to " << links.front().href;
      continue;
    }
    ASSERT_EQ(links.size(), 1u) << address;
    EXPECT_EQ(links[0].in_head, c.in_head) << address;
    texts.insert(links[0].text);
    address = Resolve(address, links[0].href);
    EXPECT_EQ(address, address_of(next));
  }
  EXPECT_EQ(texts, c.texts);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, NextLinkTest,
    ::testing::Values(
        NextLinkCase{"query", NextLinkForm::kQuery, "/doko/kekka.php/13105110/?page=%d", {"次へ"}},
        NextLinkCase{"rel", NextLinkForm::kRel, "/doko/kekka.php/13105110/?page=%d", {""}, true},
        NextLinkCase{
            "path", NextLinkForm::kPath, "/doko/kekka.php/13105110/page/%d/", {"次のページ"}},
        NextLinkCase{"relative",
                     NextLinkForm::kRelative,
                     "/doko/kekka.php/13105110/?page=%d",
                     {"次の20件 &gt;", "＞", "&raquo;", "&gt;"}},
        NextLinkCase{"loop",
                     NextLinkForm::kLoop,
                     "/doko/kekka.php/13105110/?page=%d",
                     {"次へ"},
                     false,
                     true},
        NextLinkCase{"other_host",
                     NextLinkForm::kOtherHost,
                     "http://other.example.invalid/doko/kekka.php/13105110/?page=%d",
                     {"次へ"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace valmeric::sitesim::testing
