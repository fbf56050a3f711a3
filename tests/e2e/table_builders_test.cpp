#include "refdb/table_builders.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>

#include "refdb/reference_db.h"
#include "support/euc.h"
#include "support/local_server.h"
#include "support/result_page.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace valmeric {
namespace {

using test::EucPage;

// A city list page: for each (code, name) the link line and the city line.
std::vector<std::string> CityPage(const std::vector<std::pair<std::string, std::string>>& cities) {
  std::vector<std::string> lines = {"<html><body>", "<ul class=\"cities\">"};
  for (const auto& [code, name] : cities) {
    lines.push_back("<a href=\"/doko/search.php?pref_no=1&city_no=" + code + "\">");
    lines.push_back("  <li><i class=\"ico\"></i>" + name + "</li></a>");
  }
  lines.push_back("</ul></body></html>");
  return lines;
}

class TableBuildersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::CreateTestDatabase(db_path_, {{1, 1, "古い市"}}, {{1, 1, "古い科目"}});
    server_.server().Get(
        "/doko/city.php", [this](const httplib::Request& req, httplib::Response& res) {
          std::lock_guard lock(mutex_);
          const std::string pref = req.get_param_value("pref_no");
          requested_.push_back(pref);
          if (failing_ == pref) {
            res.status = 500;
            res.set_content("oops", "text/html");
            return;
          }
          // Every prefecture has cities: one, unless the test says otherwise.
          const auto page = city_pages_.find(pref);
          res.set_content(
              page != city_pages_.end() ? page->second : EucPage(CityPage({{"999", "某市"}})),
              "text/html");
        });
    server_.server().Get("/doko/kamoku.php",
                         [this](const httplib::Request&, httplib::Response& res) {
                           std::lock_guard lock(mutex_);
                           res.set_content(kamoku_page_, "text/html");
                         });
    server_.server().Get("/doko/cut.php", [](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(5000, "text/html", [](size_t, size_t, httplib::DataSink& sink) {
        sink.write("<li><i>x", 8);
        return false;
      });
    });
    server_.Start();
    settings_.download.origin = SiteOrigin::Parse(server_.Origin());
    settings_.retry.delays = {std::chrono::milliseconds(1)};
    settings_.scratch_path = dir_.File("tmp.dat");
  }

  void SetCityPage(int pref, const std::vector<std::string>& utf8_lines) {
    std::lock_guard lock(mutex_);
    city_pages_[std::to_string(pref)] = EucPage(utf8_lines);
  }

  // Rows of T01_City, less the one city every page not set by the test holds.
  std::vector<std::string> Cities() {
    return test::QueryColumn(
        db_path_,
        "SELECT AreaCode || ',' || CityCode || ',' || typeof(CityCode) || ',' || "
        "CityName FROM T01_City WHERE CityCode <> 999 ORDER BY rowid");
  }
  std::vector<std::string> SubCategories() {
    return test::QueryColumn(
        db_path_,
        "SELECT CtgrCode || ',' || SubCtgrCode || ',' || typeof(SubCtgrCode) || ',' "
        "|| SubCtgrName FROM T02_Category ORDER BY ID");
  }

  test::TempDir dir_;
  std::string db_path_ = dir_.File("hpt_data.db");
  test::LocalServer server_;
  BuilderSettings settings_;
  std::mutex mutex_;
  std::map<std::string, std::string> city_pages_;
  std::string failing_;
  std::string kamoku_page_;
  std::vector<std::string> requested_;
};

TEST_F(TableBuildersTest, CitiesComeFromAllFortySevenPages) {
  SetCityPage(1, CityPage({{"101", "札幌市中央区"}, {"202", "函館市"}}));
  SetCityPage(47, CityPage({{"201", "那覇市"}}));
  ReferenceDb db(db_path_);
  std::vector<int> reported;
  const int rows = RebuildCities(db.db(), settings_, [&](int p) { reported.push_back(p); });
  EXPECT_EQ(rows, 3 + 45);
  EXPECT_EQ(Cities(), (std::vector<std::string>{"1,101,integer,札幌市中央区",
                                                "1,202,integer,函館市", "47,201,integer,那覇市"}));
  ASSERT_EQ(reported.size(), 47u);
  EXPECT_EQ(reported.front(), 1);
  EXPECT_EQ(reported.back(), 47);
  EXPECT_EQ(requested_.front(), "1");
  EXPECT_EQ(requested_.back(), "47");
  EXPECT_EQ(test::SjisToUtf8ForTest(CityBuilderStatus(47)), "県コード：47 取得中");
}

TEST_F(TableBuildersTest, CityLinesNeedALineBeforeThemWithAnAmpersand) {
  SetCityPage(3, {
                     "<li><i>先頭の市</li>",                          // first line: no row
                     "<a href=\"/doko/x.php?pref_no=3&CITY_NO=7\">",  // any letter case
                     "<li><i>盛岡市</li>",
                     "<a href=\"/doko/x.php?no_ampersand\">",  // no "&": no row
                     "<li><i>花巻市</li>",
                     "<a href=\"/x?a=b=1&city_no=2city_no=7\">",  // removed wherever they stand
                     "<li><i>北上市</li>",
                     "<li class=\"x\"><i>not a city line</i></li>",
                 });
  ReferenceDb db(db_path_);
  RebuildCities(db.db(), settings_);
  EXPECT_EQ(Cities(), (std::vector<std::string>{"3,7,integer,盛岡市", "3,27,integer,北上市"}));
}

TEST_F(TableBuildersTest, ACityCodeThatIsNotANumberStopsTheBuilderAndKeepsTheOldTable) {
  SetCityPage(5, {"<a href=\"/doko/x.php?pref_no=5&city_no=abc\">", "<li><i>秋田市</li>"});
  ReferenceDb db(db_path_);
  try {
    RebuildCities(db.db(), settings_);
    FAIL() << "the builder accepted a code that is not a number";
  } catch (const BuildError& error) {
    EXPECT_NE(std::string(error.what()).find("pref_no=5: 2 行目: \"abc\""), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(Cities(), (std::vector<std::string>{"1,1,integer,古い市"}));
}

// A list page that answers but lists nothing (the site under maintenance)
// would leave a prefecture without cities, or every run without a plan.
TEST_F(TableBuildersTest, AListPageWithoutARowStopsTheBuilderAndKeepsTheOldTable) {
  const std::vector<std::string> maintenance = {"<html><body>", "<p>ただいまメンテナンス中です</p>",
                                                "</body></html>"};
  struct Case {
    std::string name;
    std::function<int(Database&)> build;
    std::string page;
  } cases[] = {
      {"a city list page",
       [&](Database& db) {
         SetCityPage(12, maintenance);
         return RebuildCities(db, settings_);
       },
       "city.php?pref_no=12"},
      {"the sub-category list page",
       [&](Database& db) {
         kamoku_page_ = EucPage(maintenance);
         return RebuildSubCategories(db, settings_);
       },
       "kamoku.php"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReferenceDb db(db_path_);
    try {
      c.build(db.db());
      ADD_FAILURE() << "the builder stored a page that lists nothing";
    } catch (const BuildError& error) {
      EXPECT_NE(std::string(error.what()).find(c.page), std::string::npos) << error.what();
    }
    EXPECT_EQ(Cities(), (std::vector<std::string>{"1,1,integer,古い市"}));
    EXPECT_EQ(SubCategories(), (std::vector<std::string>{"1,1,integer,古い科目"}));
  }
  EXPECT_EQ(requested_.back(), "12");  // nothing after the empty page was asked for
}

TEST_F(TableBuildersTest, APageThatCannotBeFetchedLeavesTheOldTable) {
  SetCityPage(1, CityPage({{"101", "札幌市中央区"}}));
  failing_ = "30";
  ReferenceDb db(db_path_);
  try {
    RebuildCities(db.db(), settings_);
    FAIL() << "the builder went past a failed page";
  } catch (const BuildError& error) {
    EXPECT_NE(std::string(error.what()).find("pref_no=30"), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("500"), std::string::npos) << error.what();
  }
  EXPECT_EQ(Cities(), (std::vector<std::string>{"1,1,integer,古い市"}));
  EXPECT_EQ(requested_.back(), "30");  // nothing after the failed page was asked for
}

TEST_F(TableBuildersTest, ASiteThatIsDownLeavesBothTables) {
  test::LocalServer closed;
  closed.Start();
  settings_.download.origin = SiteOrigin::Parse(closed.Origin());
  closed.Stop();
  ReferenceDb db(db_path_);
  EXPECT_THROW(RebuildCities(db.db(), settings_), BuildError);
  EXPECT_THROW(RebuildSubCategories(db.db(), settings_), BuildError);
  EXPECT_EQ(Cities(), (std::vector<std::string>{"1,1,integer,古い市"}));
  EXPECT_EQ(SubCategories(), (std::vector<std::string>{"1,1,integer,古い科目"}));
}

TEST_F(TableBuildersTest, AStopAskedForBetweenPrefecturesRollsBack) {
  SetCityPage(1, CityPage({{"101", "札幌市中央区"}}));
  ReferenceDb db(db_path_);
  EXPECT_THROW(RebuildCities(db.db(), settings_,
                             [](int p) {
                               if (p == 2) throw std::runtime_error("stopped");
                             }),
               std::runtime_error);
  EXPECT_EQ(Cities(), (std::vector<std::string>{"1,1,integer,古い市"}));
}

TEST_F(TableBuildersTest, SubCategoriesFollowTheHeadingsInPageOrder) {
  kamoku_page_ = EucPage({
      "<html>",
      "<li><a href=\"kekka.php/01027005/\">見出し前</a></li>",  // category 0
      "<h4>内科系</h4>",
      "<li><a href=\"kekka.php/01027120/\">循環器内科</a></li>",
      "<li><a href=\"kekka.php/01027110/\">一般内科</a></li>",
      "<li><a href=\"other.php/01027130/\">リンク違い</a></li>",  // no kekka.php
      "<p><a href=\"kekka.php/01027140/\">行頭違い</a></p>",      // not an <li line
      "<H4>大文字</H4>",                                          // not a heading
      "<h4 class=\"c\">外科系</h4>",
      "<li><a href=\"kekka.php/0102721001027/\">一般外科</a></li>",  // 01027 removed anywhere
      "<li><a href=\"kekka.php\">スラッシュなし</a>",                // one "/" only... none here
      "<li>kekka.php/01027999 only one slash",
      "</html>",
  });
  ReferenceDb db(db_path_);
  EXPECT_EQ(RebuildSubCategories(db.db(), settings_), 4);
  EXPECT_EQ(SubCategories(),
            (std::vector<std::string>{"0,5,integer,見出し前", "1,120,integer,循環器内科",
                                      "1,110,integer,一般内科", "2,210,integer,一般外科"}));
}

TEST_F(TableBuildersTest, ASubCategoryCodeThatIsNotANumberKeepsTheOldTable) {
  kamoku_page_ = EucPage({"<h4>内科系</h4>", "<li><a href=\"kekka.php/01027x1/\">変</a></li>"});
  ReferenceDb db(db_path_);
  EXPECT_THROW(RebuildSubCategories(db.db(), settings_), BuildError);
  EXPECT_EQ(SubCategories(), (std::vector<std::string>{"1,1,integer,古い科目"}));
}

}  // namespace
}  // namespace valmeric
