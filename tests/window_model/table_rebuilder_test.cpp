// A table rebuild on its own thread, its news shown from the window's thread
// (the test's), against a site on 127.0.0.1 whose list pages can be held.

#include "window_model/table_rebuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/network/site_address.h"
#include "refdb/run_lock.h"
#include "refdb/table_builders.h"
#include "support/local_server.h"
#include "support/result_page.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace valmeric::window_model {
namespace {

constexpr auto kWait = std::chrono::seconds(20);

class TableRebuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::CreateTestDatabase(db_path_, {{1, 1, "古い市"}}, {{1, 1, "古い科目"}});
    server_.server().Get("/doko/city.php", [this](const httplib::Request& req,
                                                  httplib::Response& res) {
      const int prefecture = std::stoi(req.get_param_value("pref_no"));
      std::unique_lock lock(mutex_);
      if (prefecture == hold_) {
        holding_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
      }
      // One city a prefecture, none on a page under maintenance.
      std::vector<std::string> lines = {"<html><body>"};
      if (!empty_pages_.contains(prefecture)) {
        lines.push_back("<a href=\"/doko/search.php?pref_no=" + std::to_string(prefecture) +
                        "&city_no=" + std::to_string(100 + prefecture) + "\">");
        lines.push_back("<li><i class=\"ico\"></i>市" + std::to_string(prefecture) + "</li></a>");
      }
      lines.push_back("</body></html>");
      res.set_content(test::EucPage(lines), "text/html");
    });
    server_.server().Get("/doko/kamoku.php", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(
          test::EucPage({"<h4>内科系</h4>", "<li><a href=\"kekka.php/01027110/\">一般内科</a></li>",
                         "<li><a href=\"kekka.php/01027120/\">循環器内科</a></li>"}),
          "text/html");
    });
    server_.Start();
    DownloadSettings download;
    download.origin = SiteOrigin::Parse(server_.Origin());
    RetryPolicy retry;
    retry.delays = {std::chrono::milliseconds(1)};
    rebuilder_.emplace(
        db_path_, download,
        [this] {
          std::lock_guard lock(mutex_);
          ++wakes_;
          changed_.notify_all();
        },
        retry);
    TableRebuilder::View view;
    view.show_status = [this](const std::string& text) { shown_.push_back("status|" + text); };
    view.show_message = [this](const UserMessage& message) {
      shown_.push_back("box|" + message.text + "|" + message.title + "|" +
                       std::to_string(message.style));
    };
    rebuilder_->Bind(std::move(view));
  }

  void TearDown() override {
    Release();
    rebuilder_.reset();
  }

  void Hold(int prefecture) {
    std::lock_guard lock(mutex_);
    hold_ = prefecture;
  }
  void SetEmptyPages(std::set<int> prefectures) {
    std::lock_guard lock(mutex_);
    empty_pages_ = std::move(prefectures);
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  bool WaitHolding() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kWait, [this] { return holding_; });
  }
  // The window's side: waits for a wake, then polls. False when none came.
  bool PollOnWake() {
    {
      std::unique_lock lock(mutex_);
      if (!changed_.wait_for(lock, kWait, [this] { return wakes_ > polled_; })) return false;
      polled_ = wakes_;
    }
    rebuilder_->Poll();
    return true;
  }
  // Polls on each wake until the rebuild has ended; what Poll threw then comes out.
  void PollUntilEnded() {
    while (rebuilder_->running()) ASSERT_TRUE(PollOnWake()) << "no news from the rebuild";
  }
  int Wakes() {
    std::lock_guard lock(mutex_);
    return wakes_;
  }
  std::vector<std::string> Cities() {
    return test::QueryColumn(db_path_,
                             "SELECT AreaCode || ',' || CityCode || ',' || CityName FROM T01_City "
                             "ORDER BY rowid");
  }
  bool DatabaseFree() {
    try {
      RunLock lock(db_path_);
      return true;
    } catch (const RunLockError&) {
      return false;
    }
  }

  test::TempDir dir_;
  std::string db_path_ = dir_.File("hpt_data.db");
  test::LocalServer server_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int hold_ = 0;  // the prefecture whose page waits for Release
  bool holding_ = false;
  bool released_ = false;
  std::set<int> empty_pages_;
  int wakes_ = 0;
  int polled_ = 0;
  std::vector<std::string> shown_;  // the view's calls, in order
  std::optional<TableRebuilder> rebuilder_;
};

const std::string kDoneBox = "box|終了|Valmeric|0";

TEST_F(TableRebuilderTest, TheCityBuilderShowsEachPrefectureReadThenItsEndBox) {
  Hold(2);
  rebuilder_->Start(RebuildTable::kCities);
  EXPECT_TRUE(rebuilder_->running());
  ASSERT_TRUE(WaitHolding());
  ASSERT_TRUE(PollOnWake());
  EXPECT_EQ(shown_, std::vector<std::string>{"status|県コード：1 取得中"});
  EXPECT_TRUE(rebuilder_->running());
  EXPECT_FALSE(DatabaseFree());

  Release();
  PollUntilEnded();
  ASSERT_GE(shown_.size(), 3u);
  EXPECT_EQ(shown_[shown_.size() - 2], "status|県コード：47 取得中");
  EXPECT_EQ(shown_.back(), kDoneBox);
  // A prefecture at a time, never one twice: news not yet shown is replaced by newer news.
  int last = 0;
  for (size_t i = 0; i + 1 < shown_.size(); ++i) {
    const std::string& line = shown_[i];
    ASSERT_TRUE(line.starts_with("status|県コード：")) << line;
    const int prefecture = std::stoi(line.substr(std::string("status|県コード：").size()));
    EXPECT_GT(prefecture, last) << line;
    last = prefecture;
  }
  EXPECT_EQ(Cities().size(), 47u);
  EXPECT_EQ(Cities().back(), "47,147,市47");
  EXPECT_TRUE(DatabaseFree());
}

TEST_F(TableRebuilderTest, TheSubCategoryBuilderEndsWithItsBoxAlone) {
  rebuilder_->Start(RebuildTable::kSubCategories);
  PollUntilEnded();
  EXPECT_EQ(shown_, std::vector<std::string>{kDoneBox});
  EXPECT_EQ(test::QueryColumn(db_path_, "SELECT SubCtgrName FROM T02_Category ORDER BY ID"),
            (std::vector<std::string>{"一般内科", "循環器内科"}));
  EXPECT_TRUE(DatabaseFree());
}

TEST_F(TableRebuilderTest, WhatStopsARebuildComesOutOfPollAndTheTableStaysAsItWas) {
  SetEmptyPages({12});
  rebuilder_->Start(RebuildTable::kCities);
  try {
    PollUntilEnded();
    FAIL() << "the rebuild stored a page that lists nothing";
  } catch (const BuildError& error) {
    EXPECT_NE(std::string(error.what()).find("pref_no=12"), std::string::npos) << error.what();
  }
  EXPECT_FALSE(rebuilder_->running());
  ASSERT_FALSE(shown_.empty());
  EXPECT_EQ(shown_.back(), "status|県コード：11 取得中");  // no end box
  EXPECT_EQ(Cities(), std::vector<std::string>{"1,1,古い市"});
  EXPECT_TRUE(DatabaseFree());
  // A later start goes ahead.
  SetEmptyPages({});
  rebuilder_->Start(RebuildTable::kCities);
  PollUntilEnded();
  EXPECT_EQ(shown_.back(), kDoneBox);
  EXPECT_EQ(Cities().size(), 47u);
}

TEST_F(TableRebuilderTest, ASecondStartWhileOneRunsIsRefusedAndTheFirstGoesOn) {
  Hold(5);
  rebuilder_->Start(RebuildTable::kCities);
  ASSERT_TRUE(WaitHolding());
  EXPECT_THROW(rebuilder_->Start(RebuildTable::kSubCategories), RunLockError);
  EXPECT_TRUE(rebuilder_->running());
  Release();
  PollUntilEnded();
  EXPECT_EQ(shown_.back(), kDoneBox);
  EXPECT_EQ(std::count(shown_.begin(), shown_.end(), kDoneBox), 1);
  EXPECT_EQ(Cities().size(), 47u);
  EXPECT_EQ(test::QueryColumn(db_path_, "SELECT SubCtgrName FROM T02_Category"),
            std::vector<std::string>{"古い科目"});
}

TEST_F(TableRebuilderTest, ADatabaseInUseIsRefusedBeforeAnythingStarts) {
  {
    RunLock run(db_path_);
    EXPECT_THROW(rebuilder_->Start(RebuildTable::kCities), RunLockError);
    EXPECT_FALSE(rebuilder_->running());
  }
  EXPECT_EQ(server_.HitCount(), 0u);
  EXPECT_EQ(Wakes(), 0);
  rebuilder_->Poll();  // nothing to show
  EXPECT_TRUE(shown_.empty());
}

TEST_F(TableRebuilderTest, AViewThatThrowsCannotKeepTheRebuildRunning) {
  TableRebuilder::View view;
  view.show_status = [](const std::string&) { throw std::runtime_error("no label"); };
  rebuilder_->Bind(std::move(view));
  rebuilder_->Start(RebuildTable::kCities);
  int thrown = 0;
  while (rebuilder_->running()) {
    try {
      ASSERT_TRUE(PollOnWake()) << "no news from the rebuild";
    } catch (const std::runtime_error&) {
      ++thrown;
    }
  }
  EXPECT_GT(thrown, 0);
  EXPECT_EQ(Cities().size(), 47u);
  EXPECT_TRUE(DatabaseFree());
}

TEST_F(TableRebuilderTest, GoingAwayWaitsForTheRebuildToEnd) {
  Hold(30);
  rebuilder_->Start(RebuildTable::kCities);
  ASSERT_TRUE(WaitHolding());
  std::thread window_closed([this] { rebuilder_.reset(); });
  Release();
  window_closed.join();
  EXPECT_EQ(Cities().size(), 47u);  // the whole table, not half of it
  EXPECT_TRUE(DatabaseFree());
}

}  // namespace
}  // namespace valmeric::window_model
