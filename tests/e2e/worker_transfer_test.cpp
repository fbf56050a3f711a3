// The worker against a small site on 127.0.0.1, where the transfer is the
// subject: retries, Retry-After, stalled bodies, a server that is down,
// error pages and HTTPS.

#include "engine/worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "common/text/sjis_text.h"
#include "engine/csv_writer.h"
#include "support/cp932_check.h"
#include "support/site_fixture.h"
#include "support/worker_run.h"

namespace valmeric {
namespace {

using test::CodesOf;
using test::PageFacility;
using test::RunRecord;
using test::RunToEnd;
using test::SiteFixture;

const Selection kPrefecture1Category1{{1}, {1}};

class WorkerTransferTest : public ::testing::Test {
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
    test::RecordNewRun(config);
    return config;
  }

  std::vector<std::string> WrittenCodes() { return test::WrittenCodes(site_.File("out.csv")); }

  SiteFixture site_;
};

TEST_F(WorkerTransferTest, ThreeEntriesInARowThatCannotBeFetchedEndTheRunAsUnreachable) {
  site_.SetPage("01101110", 2, SiteFixture::Facilities(1, 2));
  site_.FailNext(1000, 503);
  site_.FailSubCategoryList(503);
  const RunRecord run = RunToEnd(Config());
  EXPECT_EQ(run.outcome.kind, Outcome::kSiteUnreachable);
  EXPECT_EQ(site_.ResultRequests(), 3 * 3);  // three entries, three attempts each
  EXPECT_EQ(run.position, 3);
  // The three are left for a resume: neither done nor recorded as not fetched.
  EXPECT_EQ(run.outcome.progress.entries_done, 0);
  EXPECT_EQ(run.outcome.progress.not_fetched, 0);
  EXPECT_EQ(test::ReadCsv(site_.File("out.csv")), CsvHeaderLine() + "\r\n");
  EXPECT_NE(run.outcome.detail.find("503"), std::string::npos);
}

TEST_F(WorkerTransferTest, AServerThatIsDownFromTheStartIsUnreachable) {
  test::LocalServer closed;
  closed.Start();
  RunConfig config = Config();
  config.settings.download.origin = SiteOrigin::Parse(closed.Origin());
  closed.Stop();
  EXPECT_EQ(RunToEnd(config).outcome.kind, Outcome::kSiteUnreachable);
}

TEST_F(WorkerTransferTest, RetriesRideOutABriefOutage) {
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

TEST_F(WorkerTransferTest, AStalledBodyTimesOutAndTheRunGoesOn) {
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

TEST_F(WorkerTransferTest, RetryAfterIsHonouredUpToTheCap) {
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

TEST_F(WorkerTransferTest, AFailedPageIsNeverReadAsTheOneBefore) {
  // The first page lists four facilities but announces two; were its file read
  // again for the failed second entry, facilities 3 and 4 would appear.
  site_.SetPage("01101110", 2, SiteFixture::Facilities(1, 4));
  site_.FailPair("01101120", 500);
  const RunRecord run = RunToEnd(Config());
  EXPECT_EQ(WrittenCodes(), CodesOf(SiteFixture::Facilities(1, 2)));
  EXPECT_EQ(run.outcome.kind, Outcome::kIncomplete);
  EXPECT_EQ(run.outcome.progress.not_fetched, 1);
}

TEST_F(WorkerTransferTest, AnErrorPageIsReadButItsEntryCountsAsNotFetched) {
  site_.SetPage("01101110", 2, SiteFixture::Facilities(1, 2));
  site_.FailPair("01101120", 403);
  const RunRecord run = RunToEnd(Config());
  EXPECT_EQ(run.outcome.kind, Outcome::kIncomplete);
  EXPECT_EQ(run.outcome.progress.not_fetched, 1);
  EXPECT_EQ(run.outcome.detail, "サーバーがアクセスを拒否しました。(HTTP 403)");
  EXPECT_EQ(site_.ResultRequests(), 4);  // a 403 is not asked for again
}

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
  test::RecordNewRun(config);
  const RunRecord run = RunToEnd(config);
  EXPECT_EQ(run.outcome.kind, Outcome::kCompleted);
  EXPECT_EQ(run.outcome.progress.facilities_written, 2);
}

}  // namespace
}  // namespace valmeric
