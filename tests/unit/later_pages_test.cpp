// A pair's result pages after its first, against the small site held in
// memory: which links are followed and where a pair's pages end, and the
// starts that go on with them (resume, retry, the later pages of a finished
// run).

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/run_session.h"
#include "support/memory_site.h"
#include "support/test_database.h"
#include "support/worker_run.h"

namespace valmeric {
namespace {

using test::CodesOf;
using test::MemorySite;

constexpr char kPair[] = "01101110";  // the small site's first pair

class LaterPagesTest : public ::testing::Test {
 protected:
  LaterPagesTest() { NewSite(); }

  // A site of its own, every request to it noted.
  void NewSite() {
    site_ = std::make_unique<MemorySite>();
    std::lock_guard lock(mutex_);
    asked_.clear();
    site_->OnRequest([this](const std::string& page) {
      std::lock_guard lock(mutex_);
      asked_.push_back(page);
    });
  }

  // Runs a start to its end; cancel_on: the page whose request cancels the run.
  RunOutcome Run(RunMode mode, PageScope pages = PageScope::kAllPages,
                 const std::string& cancel_on = {}) {
    RunRequest request;
    request.mode = mode;
    request.pages = pages;
    request.selection = {{1}, {1}};
    request.output_path = site_->File("out.csv");
    request.database_path = site_->db_path();
    request.settings.pages = site_->source();
    request.settings.page_pause = std::chrono::milliseconds(0);
    request.settings.retry.delays = {};
    if (!cancel_on.empty()) site_->DelayPair(cancel_on, 60000);
    RunReports reports;
    RunSession session(request, reports);
    if (!cancel_on.empty()) {
      while (!Asked(cancel_on) && !reports.WaitForEnd(std::chrono::milliseconds(5))) {
      }
      session.Cancel();
    }
    session.Wait();
    site_->HealPairs();
    news_ = reports.Take();
    return *news_.outcome;
  }

  bool Asked(const std::string& page) {
    std::lock_guard lock(mutex_);
    return std::find(asked_.begin(), asked_.end(), page) != asked_.end();
  }
  std::vector<std::string> Written() { return test::WrittenCodes(site_->File("out.csv")); }

  // Pages 1 to n of the pair, 20 facilities each, linked by "?page=N".
  void SetChain(int announced, int pages) {
    for (int page = 1; page <= pages; ++page) {
      const std::string next = page < pages ? "?page=" + std::to_string(page + 1) : "";
      site_->SetPage(PageKey(page), announced, MemorySite::Facilities(page * 20 - 19, page * 20),
                     next);
    }
  }
  static std::string PageKey(int page) {
    return page == 1 ? kPair : std::string(kPair) + "?page=" + std::to_string(page);
  }

  std::unique_ptr<MemorySite> site_;
  RunNews news_;  // the last run's, as its owner took them at the end
  std::mutex mutex_;
  std::vector<std::string> asked_;
};

// Where a pair's pages end: what was written, what was never asked for and
// what the run tells of the facilities no page listed.
TEST_F(LaterPagesTest, APairsPagesEndWhereTheirLinksStopMakingSense) {
  const std::string page2 = PageKey(2);
  const std::string page3 = PageKey(3);
  const struct {
    const char* name;
    std::function<void(MemorySite&)> pages;
    PageScope scope;
    int written;  // facilities 1..written, in page order
    std::string not_asked;
    int beyond_first_page;  // left for a later run
    int unlisted;           // announced, listed by no page the links lead to
    int later_pages = 0;    // read after first pages, and shown in the progress
  } cases[] = {
      {"EveryPageInOrder", [this](MemorySite&) { SetChain(50, 3); }, PageScope::kAllPages, 50, "",
       0, 0, 2},
      {"FirstPagesOnlyUnlessAsked", [this](MemorySite&) { SetChain(50, 3); },
       PageScope::kFirstPages, 20, page2, 30, 0},
      {"TheCountCapsAllPagesTogether", [this](MemorySite&) { SetChain(25, 3); },
       PageScope::kAllPages, 25, page3, 0, 0, 1},
      {"ALinkBackToAPageRead",
       [&](MemorySite& s) {
         SetChain(50, 3);
         s.SetPage(page2, 50, MemorySite::Facilities(21, 40), "/doko/kekka.php/01101110/");
       },
       PageScope::kAllPages, 40, page3, 0, 10, 1},
      {"APageWithNothingNew",
       [&](MemorySite& s) {
         SetChain(50, 3);
         s.SetPage(page2, 50, MemorySite::Facilities(1, 20), "?page=3");
       },
       PageScope::kAllPages, 20, page3, 0, 30, 1},
      {"ALinkToAnotherHost",
       [&](MemorySite& s) {
         SetChain(50, 3);
         s.SetPage(kPair, 50, MemorySite::Facilities(1, 20),
                   "http://other.example/doko/kekka.php/01101110/?page=2");
       },
       PageScope::kAllPages, 20, page2, 0, 30},
      {"ALinkToAnotherPair",
       [&](MemorySite& s) {
         SetChain(50, 3);
         s.SetPage(kPair, 50, MemorySite::Facilities(1, 20), "/doko/kekka.php/01101120/?page=2");
       },
       PageScope::kAllPages, 20, "01101120?page=2", 0, 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NewSite();
    c.pages(*site_);
    const RunOutcome outcome = Run(RunMode::kNew, c.scope);
    EXPECT_EQ(outcome.kind, Outcome::kCompleted);
    EXPECT_EQ(Written(), CodesOf(MemorySite::Facilities(1, c.written)));
    if (!c.not_asked.empty()) {
      EXPECT_FALSE(Asked(c.not_asked)) << c.not_asked;
    }
    EXPECT_EQ(outcome.progress.beyond_first_page, c.beyond_first_page);
    EXPECT_EQ(outcome.progress.unlisted, c.unlisted);
    EXPECT_EQ(ReadRecordedRun(site_->db_path())->progress.unlisted, c.unlisted);
    EXPECT_EQ(outcome.progress.later_pages, c.later_pages);
    EXPECT_EQ(news_.later_found, c.later_pages);
    EXPECT_EQ(news_.later_started, c.later_pages);
  }
}

// A site whose pages link on for ever: the pair stops at the most pages a
// pair is read, and says so.
TEST_F(LaterPagesTest, APairStopsAtTheMostPagesAndTellsIt) {
  for (int page = 1; page <= kMostPagesOfAPair + 5; ++page) {
    site_->SetPage(PageKey(page), 100000, MemorySite::Facilities(page, page),
                   "?page=" + std::to_string(page + 1));
  }
  const RunOutcome outcome = Run(RunMode::kNew);
  EXPECT_EQ(outcome.progress.pairs_capped, 1);
  EXPECT_EQ(outcome.progress.later_pages, kMostPagesOfAPair - 1);
  EXPECT_EQ(Written(), CodesOf(MemorySite::Facilities(1, kMostPagesOfAPair)));
  EXPECT_FALSE(Asked(PageKey(kMostPagesOfAPair + 1)));
}

// A cancel on a later page keeps the pages read before it; the resume goes
// on with that page, asking none before it again, and ends with every
// facility once, in page order.
TEST_F(LaterPagesTest, AResumeGoesOnWithThePageACancelCutShort) {
  SetChain(70, 4);
  EXPECT_EQ(Run(RunMode::kNew, PageScope::kAllPages, PageKey(3)).kind, Outcome::kCancelled);
  EXPECT_EQ(Written(), CodesOf(MemorySite::Facilities(1, 40)));
  {
    std::lock_guard lock(mutex_);
    asked_.clear();
  }
  const RunOutcome outcome = Run(RunMode::kResume);
  EXPECT_EQ(outcome.kind, Outcome::kCompleted);
  EXPECT_FALSE(Asked(kPair));
  EXPECT_FALSE(Asked(PageKey(2)));
  EXPECT_EQ(Written(), CodesOf(MemorySite::Facilities(1, 70)));
}

// A later page that does not arrive leaves its pair to a retry, recorded
// with its page; the retry reads the pair's pages again and writes what was
// missing, nothing twice.
TEST_F(LaterPagesTest, ALaterPageNotFetchedIsAskedAgainByARetry) {
  SetChain(60, 3);
  site_->FailPair(PageKey(2), 503);
  const RunOutcome first = Run(RunMode::kNew);
  EXPECT_EQ(first.kind, Outcome::kIncomplete);
  EXPECT_EQ(
      test::QueryColumn(site_->db_path(), "SELECT PlanIndex || ':' || Page FROM T04_NotFetched"),
      std::vector<std::string>{"0:2"});
  const RunOutcome retry = Run(RunMode::kRetryFailed);
  EXPECT_EQ(retry.kind, Outcome::kCompleted);
  EXPECT_EQ(Written(), CodesOf(MemorySite::Facilities(1, 60)));
}

// A first-pages run, then its later pages: the same facilities as an
// all-pages run, and a second pass finds nothing left.
TEST_F(LaterPagesTest, TheLaterPagesOfAFinishedRunJoinItsFile) {
  SetChain(50, 3);
  site_->SetPage("01202110", 30, MemorySite::Facilities(101, 120), "?page=2");
  site_->SetPage("01202110?page=2", 30, MemorySite::Facilities(121, 130));
  EXPECT_EQ(Run(RunMode::kNew, PageScope::kFirstPages).progress.beyond_pairs, 2);
  const RunOutcome more = Run(RunMode::kMorePages);
  EXPECT_EQ(more.kind, Outcome::kCompleted);
  EXPECT_EQ(more.progress.beyond_pairs, 0);
  std::vector<std::string> want = CodesOf(MemorySite::Facilities(1, 20));
  for (const auto& range : {std::pair{101, 120}, {21, 50}, {121, 130}}) {
    const auto codes = CodesOf(MemorySite::Facilities(range.first, range.second));
    want.insert(want.end(), codes.begin(), codes.end());
  }
  std::vector<std::string> written = Written();
  std::sort(written.begin(), written.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(written, want);
  EXPECT_THROW(Run(RunMode::kMorePages), StartRefused);
}

}  // namespace
}  // namespace valmeric
