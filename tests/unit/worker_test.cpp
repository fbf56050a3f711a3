// The worker against the small site held in memory: the plan walked in
// order, the duplicate filter, cancels, pages that do not exist and local
// failures. The transfer itself is tested in e2e/worker_transfer_test.cpp.

#include "engine/worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>

#include "common/network/site_host.h"
#include "common/text/sjis_text.h"
#include "engine/csv_writer.h"
#include "support/cp932_check.h"
#include "support/euc.h"
#include "support/memory_site.h"
#include "support/named_case.h"
#include "support/test_database.h"
#include "support/worker_run.h"

namespace valmeric {
namespace {

using test::CodesOf;
using test::MemorySite;
using test::PageFacility;
using test::RunRecord;
using test::RunToEnd;

const Selection kPrefecture1Category1{{1}, {1}};

class WorkerTest : public ::testing::Test {
 protected:
  RunConfig Config() {
    RunConfig config;
    config.output_path = site_.File("out.csv");
    config.scratch_path = site_.File("tmp.dat");
    config.database_path = site_.db_path();
    config.selection = kPrefecture1Category1;
    config.settings.pages = site_.source();
    config.settings.page_pause = std::chrono::milliseconds(0);
    test::RecordNewRun(config);
    return config;
  }

  std::vector<std::string> CsvLines() { return SplitLines(test::ReadCsv(site_.File("out.csv"))); }
  std::vector<std::string> WrittenCodes() { return test::WrittenCodes(site_.File("out.csv")); }

  MemorySite site_;
};

TEST_F(WorkerTest, WritesEveryNewFacilityOnceInPlanOrder) {
  const auto a = MemorySite::Facilities(1, 3);
  const auto b = MemorySite::Facilities(2, 5);  // 2 and 3 again
  site_.SetPage("01101110", 3, a);
  site_.SetPage("01101120", 4, b);
  site_.SetPage("01202110", 30, MemorySite::Facilities(1, 1));
  site_.SetPage("01202120", 0, {});
  std::filesystem::path scratch = site_.File("tmp.dat");
  test::WriteFile(scratch, "left over from before");

  const RunRecord run = RunToEnd(Config());

  EXPECT_EQ(run.outcome.kind, Outcome::kCompleted);
  EXPECT_EQ(run.outcome.progress.facilities_written, 5);
  EXPECT_EQ(run.outcome.progress.entries_done, 4);
  EXPECT_EQ(WrittenCodes(), CodesOf(MemorySite::Facilities(1, 5)));
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
  // Emptied for each page: it holds the last page, nothing of what was there before.
  EXPECT_EQ(test::ReadFile(scratch.string()), test::ResultPageBody(0, {}));
  // The last entry's page listed nothing: its status shows 0 of 0.
  ASSERT_FALSE(run.statuses.empty());
  EXPECT_EQ(run.statuses.back(), test::Sjis("北海道函館市 - 循環器内科 (0/0)"));
}

// An entry shows on the status line as it starts: one whose page never came
// shows its place, not the counts of the entry before.
TEST_F(WorkerTest, AnEntryWhosePageFailsStillShowsOnTheStatusLine) {
  site_.SetPage("01101110", 3, MemorySite::Facilities(1, 3));
  site_.SetRawPage("01202120", "");  // nothing to read a count or an entry from
  RunConfig config = Config();
  config.settings.retry.delays = {};
  const RunRecord run = RunToEnd(config);
  EXPECT_EQ(run.outcome.progress.not_fetched, 1);
  ASSERT_FALSE(run.statuses.empty());
  EXPECT_EQ(run.statuses.back(), test::Sjis("北海道函館市 - 循環器内科"));
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
  for (const auto& pair : MemorySite::Pairs()) site_.SetPage(pair, 5, MemorySite::Facilities(1, 5));
  site_.DelayNext(1, 30000);
  const auto start = std::chrono::steady_clock::now();
  const RunRecord run = RunToEnd(Config(), [this](TMyThread& worker, const RunNews&) {
    if (site_.ResultRequests() > 0) worker.Terminate();
  });
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(run.outcome.kind, Outcome::kCancelled);
  EXPECT_EQ(run.outcome.progress.entries_done, 0);
  EXPECT_EQ(run.outcome.progress.not_fetched,
            0);  // a page given up on request is no failure of the site
  EXPECT_EQ(site_.ResultRequests(), 1);
  EXPECT_EQ(test::ReadCsv(site_.File("out.csv")), CsvHeaderLine() + "\r\n");
}

// Cancel asked while a page that has arrived is being read: the reading
// stops at once and the entry is taken back whole (its records out of the
// file and the duplicate table), so a resume reads the page again.
TEST_F(WorkerTest, ACancelWhileAnArrivedPageIsReadTakesItsEntryBack) {
  site_.SetPage("01101110", 3, MemorySite::Facilities(1, 3));
  site_.SetPage("01101120", 1, MemorySite::Facilities(4, 4));
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
  EXPECT_EQ(outcome->progress.entries_done, 0);
  EXPECT_EQ(outcome->progress.facilities_written, 0);
  EXPECT_EQ(test::ReadCsv(site_.File("out.csv")), CsvHeaderLine() + "\r\n");
  EXPECT_EQ(site_.ResultRequests(), 1);  // no later entry was started
  Database db(site_.db_path());
  EXPECT_EQ(RunJournal::Read(db)->progress.next_entry, 0);
  EXPECT_EQ(test::QueryColumn(site_.db_path(), "SELECT COUNT(*) FROM T00_Data"),
            std::vector<std::string>{"0"});
}

// A first page that is not a result page of the site's (a login or "busy"
// page, an empty body, another encoding) is asked again and then counted as
// not fetched, never read as "nothing found"; stray bytes in a name are not
// another encoding. A result page whose links or count are written unusually
// loses none of its facilities, and what it could not read is counted for the
// end message and the journal.
struct HostilePageCase {
  const char* name;
  std::function<std::string()> body;  // the first pair's answer, status 200
  int not_fetched;
  int written;         // facilities written of the four pairs' 1 + 1 + 1 + (page's)
  const char* detail;  // in the outcome's detail, when not_fetched
  int skipped;         // entries without a usable code
  int counts_unreadable;
};
VALMERIC_PRINT_CASE_BY_NAME(HostilePageCase)

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::vector<std::string> TwoFacilityPageLines() {
  return test::ResultPageLines(2, MemorySite::Facilities(11, 12));
}

// The two facilities' page with its count written as count_text.
std::string TwoFacilityPageCounting(const std::string& count_text) {
  std::vector<std::string> lines = test::ResultPageLines(0, MemorySite::Facilities(11, 12));
  for (std::string& line : lines) {
    const size_t at = line.find(">0<");
    if (at != std::string::npos) line.replace(at + 1, 1, count_text);
  }
  return test::EucPage(lines);
}

// The two facilities' page with suffix after each facility link's path.
std::string TwoFacilityPageLinking(const std::string& suffix) {
  std::vector<std::string> lines = TwoFacilityPageLines();
  for (std::string& line : lines) {
    const size_t at = line.find("/\">");
    if (line.find("/hospital/") != std::string::npos && at != std::string::npos)
      line.insert(at + 1, suffix);
  }
  return test::EucPage(lines);
}

class HostilePageTest : public WorkerTest, public ::testing::WithParamInterface<HostilePageCase> {};

TEST_P(HostilePageTest, IsNeverReadAsAPageThatListsNothing) {
  const auto& pairs = MemorySite::Pairs();
  site_.SetRawPage(pairs[0], GetParam().body());
  for (int k = 1; k <= 3; ++k) site_.SetPage(pairs[k], 1, MemorySite::Facilities(k, k));
  RunConfig config = Config();
  config.settings.retry.delays = {std::chrono::milliseconds(0), std::chrono::milliseconds(0)};
  const RunRecord run = RunToEnd(config);
  EXPECT_EQ(run.outcome.progress.not_fetched, GetParam().not_fetched);
  EXPECT_EQ(run.outcome.progress.facilities_written, GetParam().written);
  if (GetParam().not_fetched > 0) {
    EXPECT_EQ(run.outcome.kind, Outcome::kIncomplete);
    EXPECT_EQ(site_.ResultRequests(), 3 + 3);  // asked three times, then the other three pairs
    EXPECT_NE(run.outcome.detail.find(GetParam().detail), std::string::npos) << run.outcome.detail;
  } else {
    EXPECT_EQ(run.outcome.kind, Outcome::kCompleted);
  }
  EXPECT_EQ(run.outcome.progress.entries_skipped, GetParam().skipped);
  EXPECT_EQ(run.outcome.progress.counts_unreadable, GetParam().counts_unreadable);
  Database db(site_.db_path());
  const RunProgress recorded = RunJournal::Read(db)->progress;
  EXPECT_EQ(recorded.entries_skipped, GetParam().skipped);
  EXPECT_EQ(recorded.counts_unreadable, GetParam().counts_unreadable);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, HostilePageTest,
    ::testing::Values(
        HostilePageCase{"LoginPage",
                        [] {
                          return test::EucPage({"<html><head><title>ログイン</title></head>",
                                                "<body><form>会員ログイン</form></body></html>"});
                        },
                        1, 3, "検索結果ではない", 0, 0},
        HostilePageCase{"EmptyBody", [] { return std::string(); }, 1, 3, "検索結果ではない", 0, 0},
        HostilePageCase{"DeclaredUtf8",
                        [] {
                          auto lines = TwoFacilityPageLines();
                          lines.insert(lines.begin(), "<meta charset=\"UTF-8\">");
                          return test::EucPage(lines);
                        },
                        1, 3, "EUC-JP 以外", 0, 0},
        HostilePageCase{"Utf8", [] { return Joined(TwoFacilityPageLines()); }, 1, 3, "EUC-JP 以外",
                        0, 0},
        HostilePageCase{"ShiftJis", [] { return test::Sjis(Joined(TwoFacilityPageLines())); }, 1, 3,
                        "EUC-JP 以外", 0, 0},
        HostilePageCase{"StrayBytesInAName",
                        [] {
                          std::string body = test::EucPage(TwoFacilityPageLines());
                          const size_t name = body.find(test::ToEuc("さくら"));
                          body.replace(name, 2, "\x8F\x41");
                          return body;
                        },
                        0, 5, "", 0, 0},
        HostilePageCase{"EmptyResultPage", [] { return test::ResultPageBody(0, {}); }, 0, 3, "", 0,
                        0},
        HostilePageCase{"LinksWithAQuery", [] { return TwoFacilityPageLinking("?from=list"); }, 0,
                        5, "", 0, 0},
        HostilePageCase{"LinksWithAFragment", [] { return TwoFacilityPageLinking("#detail"); }, 0,
                        5, "", 0, 0},
        HostilePageCase{"ACodeWithASpace",
                        [] {
                          auto facilities = MemorySite::Facilities(11, 12);
                          facilities[0].code = "a b";
                          return test::ResultPageBody(2, facilities);
                        },
                        0, 4, "", 1, 0},
        HostilePageCase{"AnEntryInAComment",
                        [] {
                          const auto facilities = MemorySite::Facilities(11, 13);
                          auto lines = test::ResultPageLines(3, facilities);
                          const std::string link = "/hospital/" + facilities[2].code + "/";
                          const auto at = std::find_if(lines.begin(), lines.end(),
                                                       [&](auto& l) {
                                                         return l.find(link) != std::string::npos;
                                                       }) -
                                          lines.begin();
                          lines.insert(lines.begin() + at + 10, "-->");  // after its </div>
                          lines.insert(lines.begin() + at - 2, "<!--");  // before its <div>
                          return test::EucPage(lines);
                        },
                        0, 5, "", 0, 0},
        HostilePageCase{"ACountWithCommas", [] { return TwoFacilityPageCounting("1,234"); }, 0, 5,
                        "", 0, 0},
        HostilePageCase{"ACountInSpaces", [] { return TwoFacilityPageCounting(" 2 "); }, 0, 5, "",
                        0, 0},
        HostilePageCase{"AFullWidthCount", [] { return TwoFacilityPageCounting("２"); }, 0, 5, "",
                        0, 0},
        HostilePageCase{"ACountPastAnInt",
                        [] { return TwoFacilityPageCounting("9223372036854775808"); }, 0, 5, "", 0,
                        1},
        HostilePageCase{"ANegativeCount", [] { return TwoFacilityPageCounting("-1"); }, 0, 5, "", 0,
                        1}),
    [](const auto& info) { return std::string(info.param.name); });

// A pair's fields stay apart: names holding a comma, or none, cost nothing;
// a pair whose code is no number is never asked for, and counted.
TEST_F(WorkerTest, DamagedNamesCostNothingAndPairsThatCannotBeAskedAreCounted) {
  const auto& pairs = MemorySite::Pairs();
  for (int k = 0; k < 4; ++k) site_.SetPage(pairs[k], 1, MemorySite::Facilities(k + 1, k + 1));
  test::ExecuteOn(site_.db_path(), "UPDATE T01_City SET CityName = 'a,b' WHERE CityCode = 101");
  test::ExecuteOn(site_.db_path(),
                  "UPDATE T02_Category SET SubCtgrName = NULL WHERE SubCtgrCode = 110");
  test::ExecuteOn(site_.db_path(),
                  "UPDATE T02_Category SET SubCtgrCode = NULL WHERE SubCtgrCode = 120");
  const RunRecord run = RunToEnd(Config());
  EXPECT_EQ(run.outcome.kind, Outcome::kCompleted);
  EXPECT_EQ(run.outcome.progress.pairs_unaskable, 2);
  EXPECT_EQ(site_.ResultRequests(), 2);
  std::vector<std::string> expected = CodesOf(MemorySite::Facilities(1, 1));
  expected.push_back(MemorySite::Facilities(3, 3)[0].code);
  EXPECT_EQ(WrittenCodes(), expected);
  Database db(site_.db_path());
  EXPECT_EQ(RunJournal::Read(db)->progress.pairs_unaskable, 2);
}

// Pages that do not exist on a site that still answers are passed, however
// many come in a row; a site that answers 404 to everything still stops.
TEST_F(WorkerTest, PagesThatDoNotExistNeverStopARunWhileTheSiteAnswers) {
  const auto& pairs = MemorySite::Pairs();
  for (int entry : {0, 1, 2}) site_.FailPair(pairs[entry], 404);
  site_.SetPage(pairs[3], 1, MemorySite::Facilities(1, 1));
  const RunRecord run = RunToEnd(Config());
  EXPECT_EQ(run.outcome.kind, Outcome::kIncomplete);
  EXPECT_EQ(run.outcome.progress.gone, 3);
  EXPECT_EQ(run.outcome.progress.not_fetched, 0);
  EXPECT_EQ(WrittenCodes(), CodesOf(MemorySite::Facilities(1, 1)));

  site_.FailPair(pairs[3], 404);
  site_.FailSubCategoryList(404);
  EXPECT_EQ(RunToEnd(Config()).outcome.kind, Outcome::kSiteUnreachable);
}

// A local error ends the run truthfully: the file closed, the kind of error told.
struct LocalFailureCase {
  const char* name;
  std::function<void(MemorySite&, RunConfig&)> spoil;
  FailureKind kind;
  const char* detail;
  bool recorded = true;  // a run that never opened its file leaves no record
};
VALMERIC_PRINT_CASE_BY_NAME(LocalFailureCase)

class WorkerFailureTest : public WorkerTest,
                          public ::testing::WithParamInterface<LocalFailureCase> {};

TEST_P(WorkerFailureTest, EndsTheRunAsAFailureNeverAsSuccess) {
  for (const auto& pair : MemorySite::Pairs()) site_.SetPage(pair, 3, MemorySite::Facilities(1, 3));
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
                                       [](MemorySite& site, RunConfig& config) {
                                         config.output_path = site.File("no/such/out.csv");
                                       },
                                       FailureKind::kOutput, "no/such/out.csv", false},
                      LocalFailureCase{
                          "DiskFull",
                          [](MemorySite&, RunConfig& config) { config.output_path = "/dev/full"; },
                          FailureKind::kOutput, "No space"},
                      LocalFailureCase{"TableMissing",
                                       [](MemorySite& site, RunConfig&) {
                                         test::ExecuteOn(site.db_path(), "DROP TABLE T02_Category");
                                       },
                                       FailureKind::kDatabaseRead, "T02_Category"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace valmeric
