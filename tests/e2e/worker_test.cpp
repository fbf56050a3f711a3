#include "engine/worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>

#include "common/network/site_host.h"
#include "common/text/sjis_text.h"
#include "engine/csv_writer.h"
#include "support/cp932_check.h"
#include "support/euc.h"
#include "support/named_case.h"
#include "support/site_fixture.h"

namespace valmeric {
namespace {

using test::PageFacility;
using test::SiteFixture;

const Selection kPrefecture1Category1{{1}, {1}};

// What an owner that looks at every piece of news saw of a run.
struct RunRecord {
  RunOutcome outcome;
  int plan_size = -1;
  int position = 0;
  std::vector<std::string> statuses;
};

// Runs a worker to its end, taking its news as an owner would.
RunRecord RunToEnd(RunConfig config,
                   const std::function<void(TMyThread&, const RunNews&)>& on_news = {}) {
  std::mutex mutex;
  std::condition_variable woken;
  bool news_waits = false;
  RunReports reports([&] {
    {
      std::lock_guard lock(mutex);
      news_waits = true;
    }
    woken.notify_all();
  });
  TMyThread worker(std::move(config), reports);
  worker.Resume();
  RunRecord record;
  for (;;) {
    {
      std::unique_lock lock(mutex);
      woken.wait_for(lock, std::chrono::milliseconds(50), [&] { return news_waits; });
      news_waits = false;
    }
    const RunNews news = reports.Take();
    if (news.plan_size >= 0) record.plan_size = news.plan_size;
    record.position = news.position;
    if (news.status_changed) record.statuses.push_back(news.status);
    if (on_news) on_news(worker, news);
    if (news.outcome) {
      record.outcome = *news.outcome;
      break;
    }
  }
  worker.WaitFor();
  return record;
}

class WorkerTest : public ::testing::Test {
 protected:
  RunConfig Config() {
    RunConfig config;
    config.output_path = site_.File("out.csv");
    config.scratch_path = site_.File("tmp.dat");
    config.database_path = site_.db_path();
    config.selection = kPrefecture1Category1;
    config.settings.download.origin = SiteOrigin::Parse(site_.server().Origin());
    config.settings.page_pause = std::chrono::milliseconds(0);
    config.settings.retry.delays = {std::chrono::milliseconds(1), std::chrono::milliseconds(1)};
    return config;
  }

  std::vector<std::string> CsvLines() { return SplitLines(test::ReadCsv(site_.File("out.csv"))); }

  // Codes of the record lines, in file order.
  std::vector<std::string> WrittenCodes() {
    std::vector<std::string> codes;
    const auto lines = CsvLines();
    for (size_t i = 1; i < lines.size(); ++i)
      codes.push_back(lines[i].substr(1, lines[i].find('"', 1) - 1));
    return codes;
  }

  static std::vector<std::string> CodesOf(const std::vector<PageFacility>& list) {
    std::vector<std::string> codes;
    for (const auto& f : list) codes.push_back(f.code);
    return codes;
  }

  SiteFixture site_;
};

TEST_F(WorkerTest, WritesEveryNewFacilityOnceInPlanOrder) {
  const auto a = SiteFixture::Facilities(1, 3);
  const auto b = SiteFixture::Facilities(2, 5);  // 2 and 3 again
  site_.SetPage("01101110", 3, a);
  site_.SetPage("01101120", 4, b);
  site_.SetPage("01202110", 30, SiteFixture::Facilities(1, 1));
  site_.SetRawPage("01202120", "");
  std::filesystem::path scratch = site_.File("tmp.dat");
  test::WriteFile(scratch, "left over from before");

  const RunRecord run = RunToEnd(Config());

  EXPECT_EQ(run.outcome.kind, Outcome::kCompleted);
  EXPECT_EQ(run.outcome.facilities_written, 5);
  EXPECT_EQ(run.outcome.entries_done, 4);
  EXPECT_EQ(WrittenCodes(), CodesOf(SiteFixture::Facilities(1, 5)));
  const auto lines = CsvLines();
  EXPECT_EQ(lines[0], CsvHeaderLine());
  // The name's reference is decoded and the detail address names the real site.
  EXPECT_NE(lines[1].find(test::Sjis("さくら&会")), std::string::npos);
  EXPECT_NE(lines[1].find(std::string("\"https://") + kSiteHost + "/hospital/"), std::string::npos);
  EXPECT_EQ(
      test::ReadCsv(site_.File("out.csv")).substr(test::ReadCsv(site_.File("out.csv")).size() - 3),
      ",\r\n");

  EXPECT_EQ(run.plan_size, 4);
  EXPECT_EQ(run.position, 4);
  EXPECT_EQ(site_.ResultRequests(), 4);
  EXPECT_EQ(test::ReadFile(scratch.string()), "");  // emptied for each page, never read as one
  // The last entry's page was empty: its status shows 0 of 0.
  ASSERT_FALSE(run.statuses.empty());
  EXPECT_EQ(run.statuses.back(), test::Sjis("北海道函館市 - 循環器内科 (0/0)"));
}

TEST_F(WorkerTest, AnEmptyPlanLeavesTheHeaderAlone) {
  RunConfig config = Config();
  config.selection = {{1}, {47}};
  const RunRecord run = RunToEnd(config);
  EXPECT_EQ(test::ReadCsv(site_.File("out.csv")), CsvHeaderLine() + "\r\n");
  EXPECT_EQ(run.outcome.kind, Outcome::kNothingFound);
  EXPECT_EQ(run.plan_size, 0);
  EXPECT_EQ(site_.ResultRequests(), 0);
}

TEST_F(WorkerTest, CancellingDuringAStalledPageStartsNoOtherEntryAndCountsItNotDone) {
  for (const auto& pair : SiteFixture::Pairs())
    site_.SetPage(pair, 5, SiteFixture::Facilities(1, 5));
  site_.StallNext(1, 30000);
  const auto start = std::chrono::steady_clock::now();
  const RunRecord run = RunToEnd(Config(), [this](TMyThread& worker, const RunNews&) {
    if (site_.ResultRequests() > 0) worker.Terminate();
  });
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(run.outcome.kind, Outcome::kCancelled);
  EXPECT_EQ(run.outcome.entries_done, 0);
  EXPECT_EQ(run.outcome.entries_not_fetched,
            0);  // a page given up on request is no failure of the site
  EXPECT_EQ(site_.ResultRequests(), 1);
  EXPECT_EQ(test::ReadCsv(site_.File("out.csv")), CsvHeaderLine() + "\r\n");
}

// Cancel asked while a page that has arrived is being read: the page is read
// to its end and its entry counts as done, so a resume starts with the next.
TEST_F(WorkerTest, ACancelWhileAnArrivedPageIsReadKeepsItsEntryWhole) {
  site_.SetPage("01101110", 2, SiteFixture::Facilities(1, 2));
  site_.SetPage("01101120", 1, SiteFixture::Facilities(3, 3));
  std::optional<RunOutcome> outcome;
  TMyThread* running = nullptr;
  std::optional<RunReports> reports;
  // Wakes on the worker's thread, right after the first facility is written.
  reports.emplace([&] {
    RunNews news = reports->Take();
    if (news.written >= 1 && running) running->Terminate();
    if (news.outcome) outcome = std::move(news.outcome);
  });
  {
    TMyThread worker(Config(), *reports);
    running = &worker;
    worker.Resume();
    worker.WaitFor();
  }
  ASSERT_TRUE(outcome.has_value());
  EXPECT_EQ(outcome->kind, Outcome::kCancelled);
  EXPECT_EQ(outcome->entries_done, 1);
  EXPECT_EQ(outcome->facilities_written, 2);
  EXPECT_EQ(WrittenCodes(), CodesOf(SiteFixture::Facilities(1, 2)));
  EXPECT_EQ(site_.ResultRequests(), 1);  // no later entry was started
  Database db(site_.db_path());
  EXPECT_EQ(RunJournal::Read(db)->entries_done, 1);
}

// Pages that do not exist on a site that still answers are passed, however
// many come in a row; a site that answers 404 to everything still stops.
TEST_F(WorkerTest, PagesThatDoNotExistNeverStopARunWhileTheSiteAnswers) {
  const auto& pairs = SiteFixture::Pairs();
  for (int entry : {0, 1, 2}) site_.FailPair(pairs[entry], 404);
  site_.SetPage(pairs[3], 1, SiteFixture::Facilities(1, 1));
  const RunRecord run = RunToEnd(Config());
  EXPECT_EQ(run.outcome.kind, Outcome::kIncomplete);
  EXPECT_EQ(run.outcome.entries_gone, 3);
  EXPECT_EQ(run.outcome.entries_not_fetched, 0);
  EXPECT_EQ(WrittenCodes(), CodesOf(SiteFixture::Facilities(1, 1)));

  site_.FailPair(pairs[3], 404);
  site_.FailSubCategoryList(404);
  EXPECT_EQ(RunToEnd(Config()).outcome.kind, Outcome::kSiteUnreachable);
}

TEST_F(WorkerTest, ThreeEntriesInARowThatCannotBeFetchedEndTheRunAsUnreachable) {
  site_.SetPage("01101110", 2, SiteFixture::Facilities(1, 2));
  site_.FailNext(1000, 503);
  const RunRecord run = RunToEnd(Config());
  EXPECT_EQ(run.outcome.kind, Outcome::kSiteUnreachable);
  EXPECT_EQ(site_.ResultRequests(), 3 * 3);  // three entries, three attempts each
  EXPECT_EQ(run.position, 3);
  // The three are left for a resume: neither done nor recorded as not fetched.
  EXPECT_EQ(run.outcome.entries_done, 0);
  EXPECT_EQ(run.outcome.entries_not_fetched, 0);
  EXPECT_EQ(test::ReadCsv(site_.File("out.csv")), CsvHeaderLine() + "\r\n");
  EXPECT_NE(run.outcome.detail.find("503"), std::string::npos);
}

TEST_F(WorkerTest, AServerThatIsDownFromTheStartIsUnreachable) {
  test::LocalServer closed;
  closed.Start();
  RunConfig config = Config();
  config.settings.download.origin = SiteOrigin::Parse(closed.Origin());
  closed.Stop();
  EXPECT_EQ(RunToEnd(config).outcome.kind, Outcome::kSiteUnreachable);
}

TEST_F(WorkerTest, RetriesRideOutABriefOutage) {
  for (const auto& pair : SiteFixture::Pairs())
    site_.SetPage(pair, 2, SiteFixture::Facilities(1, 2));
  site_.SetPage("01202120", 3, SiteFixture::Facilities(7, 9));
  site_.FailNext(2, 500);
  const RunRecord run = RunToEnd(Config());
  EXPECT_EQ(run.outcome.kind, Outcome::kCompleted);
  std::vector<std::string> expected = CodesOf(SiteFixture::Facilities(1, 2));
  for (const auto& code : CodesOf(SiteFixture::Facilities(7, 9))) expected.push_back(code);
  EXPECT_EQ(WrittenCodes(), expected);
  EXPECT_EQ(site_.ResultRequests(), 4 + 2);
}

TEST_F(WorkerTest, AStalledBodyTimesOutAndTheRunGoesOn) {
  site_.SetPage("01101110", 2, SiteFixture::Facilities(1, 2));
  site_.SetPage("01101120", 1, SiteFixture::Facilities(3, 3));
  site_.StallNext(1, 3000);
  RunConfig config = Config();
  config.settings.download.stall_timeout_s = 1;
  const RunRecord run = RunToEnd(config);
  EXPECT_EQ(run.outcome.kind, Outcome::kCompleted);
  EXPECT_EQ(WrittenCodes(), CodesOf(SiteFixture::Facilities(1, 3)));
  EXPECT_EQ(site_.ResultRequests(), 4 + 1);  // the stalled page was asked for again
}

TEST_F(WorkerTest, RetryAfterIsHonouredUpToTheCap) {
  site_.SetPage("01101110", 1, SiteFixture::Facilities(1, 1));
  site_.FailNext(1, 429, 1);
  const auto start = std::chrono::steady_clock::now();
  RunToEnd(Config());
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(950));
  EXPECT_EQ(WrittenCodes(), CodesOf(SiteFixture::Facilities(1, 1)));

  RetryPolicy policy;
  policy.retry_after_cap = std::chrono::seconds(60);
  CancelToken cancel;
  PageFetcher fetcher({}, policy, cancel);
  DownloadOutcome outcome;
  outcome.retry_after_s = 3600;
  EXPECT_EQ(fetcher.DelayAfter(1, outcome), std::chrono::seconds(60));
  outcome.retry_after_s = -1;
  EXPECT_EQ(fetcher.DelayAfter(1, outcome), std::chrono::seconds(2));
  EXPECT_EQ(fetcher.DelayAfter(2, outcome), std::chrono::seconds(4));
}

TEST_F(WorkerTest, AFailedPageIsNeverReadAsTheOneBefore) {
  // The first page lists four facilities but announces two; were its file read
  // again for the failed second entry, facilities 3 and 4 would appear.
  site_.SetPage("01101110", 2, SiteFixture::Facilities(1, 4));
  site_.FailPair("01101120", 500);
  const RunRecord run = RunToEnd(Config());
  EXPECT_EQ(WrittenCodes(), CodesOf(SiteFixture::Facilities(1, 2)));
  EXPECT_EQ(run.outcome.kind, Outcome::kIncomplete);
  EXPECT_EQ(run.outcome.entries_not_fetched, 1);
}

TEST_F(WorkerTest, AnErrorPageIsReadButItsEntryCountsAsNotFetched) {
  site_.SetPage("01101110", 2, SiteFixture::Facilities(1, 2));
  site_.FailPair("01101120", 403);
  const RunRecord run = RunToEnd(Config());
  EXPECT_EQ(run.outcome.kind, Outcome::kIncomplete);
  EXPECT_EQ(run.outcome.entries_not_fetched, 1);
  EXPECT_EQ(run.outcome.detail, "サーバーがアクセスを拒否しました。(HTTP 403)");
  EXPECT_EQ(site_.ResultRequests(), 4);  // a 403 is not asked for again
}

// A local error ends the run truthfully: the file closed, the kind of error told.
struct LocalFailureCase {
  const char* name;
  std::function<void(SiteFixture&, RunConfig&)> spoil;
  FailureKind kind;
  const char* detail;
  bool recorded = true;  // a run that never opened its file leaves no record
};
VALMERIC_PRINT_CASE_BY_NAME(LocalFailureCase)

class WorkerFailureTest : public WorkerTest,
                          public ::testing::WithParamInterface<LocalFailureCase> {};

TEST_P(WorkerFailureTest, EndsTheRunAsAFailureNeverAsSuccess) {
  for (const auto& pair : SiteFixture::Pairs())
    site_.SetPage(pair, 3, SiteFixture::Facilities(1, 3));
  RunConfig config = Config();
  GetParam().spoil(site_, config);
  const RunRecord run = RunToEnd(config);
  EXPECT_EQ(run.outcome.kind, Outcome::kFailed);
  EXPECT_EQ(run.outcome.failure, GetParam().kind);
  EXPECT_NE(run.outcome.detail.find(GetParam().detail), std::string::npos) << run.outcome.detail;
  EXPECT_EQ(run.outcome.recorded, GetParam().recorded);
  Database db(site_.db_path());
  if (!GetParam().recorded) {
    EXPECT_FALSE(RunJournal::Read(db));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, WorkerFailureTest,
    ::testing::Values(LocalFailureCase{"OutputFolderMissing",
                                       [](SiteFixture& site, RunConfig& config) {
                                         config.output_path = site.File("no/such/out.csv");
                                       },
                                       FailureKind::kOutput, "no/such/out.csv", false},
                      LocalFailureCase{
                          "DiskFull",
                          [](SiteFixture&, RunConfig& config) { config.output_path = "/dev/full"; },
                          FailureKind::kOutput, "No space"},
                      LocalFailureCase{"TableMissing",
                                       [](SiteFixture& site, RunConfig&) {
                                         test::ExecuteOn(site.db_path(), "DROP TABLE T02_Category");
                                       },
                                       FailureKind::kDatabaseRead, "T02_Category"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WorkerTls, ReadsPagesOverHttpsWithATrustedCertificate) {
  test::TempDir certs;
  const auto cert = test::TestCertificate::Create(certs.path().string());
  SiteFixture site(cert);
  site.SetPage("01101110", 2, SiteFixture::Facilities(1, 2));
  RunConfig config;
  config.output_path = site.File("out.csv");
  config.scratch_path = site.File("tmp.dat");
  config.database_path = site.db_path();
  config.selection = kPrefecture1Category1;
  config.settings.download.origin = SiteOrigin::Parse(site.server().Origin());
  config.settings.download.ca_file = cert.cert_file;
  config.settings.page_pause = std::chrono::milliseconds(0);
  const RunRecord run = RunToEnd(config);
  EXPECT_EQ(run.outcome.kind, Outcome::kCompleted);
  EXPECT_EQ(run.outcome.facilities_written, 2);
}

}  // namespace
}  // namespace valmeric
