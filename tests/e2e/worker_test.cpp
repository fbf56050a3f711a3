#include "engine/worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "common/sjis_text.h"
#include "common/site_host.h"
#include "engine/csv_writer.h"
#include "site_fixture.h"
#include "support/cp932_check.h"
#include "support/euc.h"
#include "support/fake_owner.h"

namespace valmeric {
namespace {

using test::FakeOwner;
using test::PageFacility;
using test::SiteFixture;

const Selection kPrefecture1Category1{{1}, {1}};

class WorkerTest : public ::testing::Test {
 protected:
  RunConfig Config() {
    RunConfig config;
    config.output_path = site_.File("out.csv");
    config.scratch_path = site_.File("tmp.dat");
    config.download.origin = SiteOrigin::Parse(site_.server().Origin());
    config.page_pause = std::chrono::milliseconds(0);
    config.retry.delays = {std::chrono::milliseconds(1), std::chrono::milliseconds(1)};
    return config;
  }

  std::vector<std::string> CsvLines() {
    return SplitLines(test::ReadCsv(site_.File("out.csv")));
  }

  // Codes of the record lines, in file order.
  std::vector<std::string> WrittenCodes() {
    std::vector<std::string> codes;
    const auto lines = CsvLines();
    for (size_t i = 1; i < lines.size(); ++i) codes.push_back(lines[i].substr(1, lines[i].find('"', 1) - 1));
    return codes;
  }

  static std::vector<std::string> CodesOf(const std::vector<PageFacility>& list) {
    std::vector<std::string> codes;
    for (const auto& f : list) codes.push_back(f.code);
    return codes;
  }

  SiteFixture site_;
  ReferenceDb db_{site_.db_path()};
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

  FakeOwner owner(db_.db(), kPrefecture1Category1);
  const auto signals = owner.Run(Config());

  EXPECT_EQ(signals->result_code, kWroteFacilities);
  EXPECT_EQ(signals->records_written, 5);
  EXPECT_EQ(WrittenCodes(), CodesOf(SiteFixture::Facilities(1, 5)));
  const auto lines = CsvLines();
  EXPECT_EQ(lines[0], CsvHeaderLine());
  // The name's reference is decoded and the detail address names the real site.
  EXPECT_NE(lines[1].find(test::Sjis("さくら&会")), std::string::npos);
  EXPECT_NE(lines[1].find(std::string("\"https://") + kSiteHost + "/hospital/"), std::string::npos);
  EXPECT_EQ(test::ReadCsv(site_.File("out.csv")).substr(test::ReadCsv(site_.File("out.csv")).size() - 3), ",\r\n");

  EXPECT_EQ(owner.end_calls, 1);
  EXPECT_FALSE(owner.running_at_end);
  EXPECT_FALSE(signals->running);
  EXPECT_EQ(owner.init_calls, 1);
  EXPECT_EQ(owner.maximum_, 4);
  EXPECT_EQ(owner.position, 4);
  EXPECT_EQ(site_.ResultRequests(), 4);
  EXPECT_FALSE(std::filesystem::exists(scratch));
  // The last entry's page was empty: its status shows 0 of 0.
  EXPECT_EQ(owner.statuses.back(), test::Sjis("北海道函館市 - 循環器内科 (0/0)"));
  EXPECT_EQ(owner.statuses.front(), test::Sjis("北海道札幌市中央区 - 一般内科 (1/3)"));
}

TEST_F(WorkerTest, AnEmptyPlanLeavesTheHeaderAlone) {
  FakeOwner owner(db_.db(), {{1}, {47}});
  const auto signals = owner.Run(Config());
  EXPECT_EQ(test::ReadCsv(site_.File("out.csv")), CsvHeaderLine() + "\r\n");
  EXPECT_EQ(signals->result_code, kNothingWritten);
  EXPECT_EQ(owner.init_calls, 0);
  EXPECT_EQ(owner.end_calls, 1);
  EXPECT_EQ(site_.ResultRequests(), 0);
}

TEST_F(WorkerTest, CancellingFinishesTheFacilityBeingReadAndStartsNoOtherEntry) {
  for (const auto& pair : SiteFixture::Pairs()) site_.SetPage(pair, 5, SiteFixture::Facilities(1, 5));
  FakeOwner owner(db_.db(), kPrefecture1Category1);
  owner.on_status = [&owner](const std::string&) { owner.worker->Terminate(); };
  const auto signals = owner.Run(Config());
  EXPECT_EQ(WrittenCodes(), CodesOf(SiteFixture::Facilities(1, 1)));
  EXPECT_EQ(site_.ResultRequests(), 1);
  EXPECT_EQ(owner.end_calls, 1);
  EXPECT_EQ(signals->result_code, kWroteFacilities);
}

TEST_F(WorkerTest, ThreeEntriesInARowThatCannotBeFetchedEndTheRunAsUnreachable) {
  site_.SetPage("01101110", 2, SiteFixture::Facilities(1, 2));
  site_.FailNext(1000, 503);
  RunConfig config = Config();
  FakeOwner owner(db_.db(), kPrefecture1Category1);
  const auto signals = owner.Run(config);
  EXPECT_EQ(signals->result_code, kSiteUnreachable);
  EXPECT_EQ(site_.ResultRequests(), 3 * 3);  // three entries, three attempts each
  EXPECT_EQ(owner.position, 3);
  EXPECT_EQ(owner.end_calls, 1);
  EXPECT_EQ(test::ReadCsv(site_.File("out.csv")), CsvHeaderLine() + "\r\n");
  EXPECT_NE(signals->failure().message.find("503"), std::string::npos);
}

TEST_F(WorkerTest, AServerThatIsDownFromTheStartIsUnreachable) {
  test::LocalServer closed;
  closed.Start();
  RunConfig config = Config();
  config.download.origin = SiteOrigin::Parse(closed.Origin());
  closed.Stop();
  FakeOwner owner(db_.db(), kPrefecture1Category1);
  const auto signals = owner.Run(config);
  EXPECT_EQ(signals->result_code, kSiteUnreachable);
  EXPECT_EQ(owner.end_calls, 1);
}

TEST_F(WorkerTest, RetriesRideOutABriefOutage) {
  for (const auto& pair : SiteFixture::Pairs()) site_.SetPage(pair, 2, SiteFixture::Facilities(1, 2));
  site_.SetPage("01202120", 3, SiteFixture::Facilities(7, 9));
  site_.FailNext(2, 500);
  FakeOwner owner(db_.db(), kPrefecture1Category1);
  const auto signals = owner.Run(Config());
  EXPECT_EQ(signals->result_code, kWroteFacilities);
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
  config.download.stall_timeout_s = 1;
  FakeOwner owner(db_.db(), kPrefecture1Category1);
  const auto signals = owner.Run(config);
  EXPECT_EQ(signals->result_code, kWroteFacilities);
  EXPECT_EQ(WrittenCodes(), CodesOf(SiteFixture::Facilities(1, 3)));
  EXPECT_EQ(site_.ResultRequests(), 4 + 1);  // the stalled page was asked for again
}

TEST_F(WorkerTest, RetryAfterIsHonouredUpToTheCap) {
  site_.SetPage("01101110", 1, SiteFixture::Facilities(1, 1));
  site_.FailNext(1, 429, 1);
  FakeOwner owner(db_.db(), kPrefecture1Category1);
  const auto start = std::chrono::steady_clock::now();
  owner.Run(Config());
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
  FakeOwner owner(db_.db(), kPrefecture1Category1);
  owner.on_step = [this](int position) {
    if (position == 2) site_.FailNext(3, 500);
  };
  owner.Run(Config());
  EXPECT_EQ(WrittenCodes(), CodesOf(SiteFixture::Facilities(1, 2)));
}

TEST_F(WorkerTest, AnOutputFileThatCannotBeOpenedEndsTheRunTruthfully) {
  RunConfig config = Config();
  config.output_path = site_.File("no/such/folder/out.csv");
  FakeOwner owner(db_.db(), kPrefecture1Category1);
  const auto signals = owner.Run(config);
  EXPECT_EQ(signals->result_code, kRunFailed);
  EXPECT_EQ(signals->failure().kind, FailureKind::kOutput);
  EXPECT_EQ(owner.end_calls, 1);
  EXPECT_FALSE(owner.running_at_end);
  EXPECT_EQ(site_.ResultRequests(), 0);
}

TEST_F(WorkerTest, AFullDiskIsNeverReportedAsSuccess) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  for (const auto& pair : SiteFixture::Pairs()) site_.SetPage(pair, 3, SiteFixture::Facilities(1, 3));
  RunConfig config = Config();
  config.output_path = "/dev/full";
  FakeOwner owner(db_.db(), kPrefecture1Category1);
  const auto signals = owner.Run(config);
  EXPECT_EQ(signals->result_code, kRunFailed);
  EXPECT_EQ(signals->failure().kind, FailureKind::kOutput);
  EXPECT_NE(signals->failure().message.find("No space"), std::string::npos) << signals->failure().message;
  EXPECT_EQ(owner.end_calls, 1);
  EXPECT_EQ(site_.ResultRequests(), 1);  // the first entry's lines could not be written
}

TEST_F(WorkerTest, AFailingQueryEndsTheRunWithTheHeaderWritten) {
  test::ExecuteOn(site_.db_path(), "DROP TABLE T02_Category");
  FakeOwner owner(db_.db(), kPrefecture1Category1);
  const auto signals = owner.Run(Config());
  EXPECT_EQ(signals->result_code, kRunFailed);
  EXPECT_EQ(signals->failure().kind, FailureKind::kDatabaseRead);
  EXPECT_EQ(owner.end_calls, 1);
  EXPECT_EQ(test::ReadCsv(site_.File("out.csv")), CsvHeaderLine() + "\r\n");
}

TEST_F(WorkerTest, AForgottenWorkerNeitherTellsTheOwnerNorTouchesTheDuplicateTable) {
  for (const auto& pair : SiteFixture::Pairs()) site_.SetPage(pair, 3, SiteFixture::Facilities(1, 3));
  FakeOwner owner(db_.db(), kPrefecture1Category1);
  owner.on_step = [&owner](int) { owner.worker->Forget(); };
  const auto signals = owner.Run(Config());
  EXPECT_EQ(owner.end_calls, 0);
  EXPECT_TRUE(owner.statuses.empty());
  EXPECT_FALSE(signals->running);
  EXPECT_TRUE(test::QueryColumn(site_.db_path(), "SELECT Hsp_code FROM T00_Data").empty());
  // Its own file is still complete.
  EXPECT_EQ(WrittenCodes(), CodesOf(SiteFixture::Facilities(1, 3)));
}

TEST(WorkerTls, ReadsPagesOverHttpsWithATrustedCertificate) {
  test::TempDir certs;
  const auto cert = test::TestCertificate::Create(certs.path().string());
  SiteFixture site(cert);
  site.SetPage("01101110", 2, SiteFixture::Facilities(1, 2));
  ReferenceDb db(site.db_path());
  RunConfig config;
  config.output_path = site.File("out.csv");
  config.scratch_path = site.File("tmp.dat");
  config.download.origin = SiteOrigin::Parse(site.server().Origin());
  config.download.ca_file = cert.cert_file;
  config.page_pause = std::chrono::milliseconds(0);
  FakeOwner owner(db.db(), kPrefecture1Category1);
  const auto signals = owner.Run(config);
  EXPECT_EQ(signals->result_code, kWroteFacilities);
  EXPECT_EQ(signals->records_written, 2);
}

}  // namespace
}  // namespace valmeric
