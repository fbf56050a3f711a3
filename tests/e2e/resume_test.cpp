// Runs that stop and go on: the real command line, killed, interrupted or cut
// off by the local site, then resumed, must leave the very bytes an
// uninterrupted run writes; entries that could not be fetched are fetched
// again on request; the journal's tables join a database of the earlier
// layout, and a read-only database is refused before anything is touched.

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <thread>

#include "common/text/sjis_text.h"
#include "running_site.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace valmeric {
namespace {

namespace fs = std::filesystem;
using sitesim::testing::RunningSite;

struct Exit {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

class ResumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::permissions(dir_.path(), fs::perms::all);
    fs::copy_file(VALMERIC_SHIPPED_DB, db_path_);
    fs::copy_file(VALMERIC_SHIPPED_DB, reference_db_);
  }

  static std::string Origin(const RunningSite& site) {
    return "http://127.0.0.1:" + std::to_string(site.port());
  }

  // Options that are not part of the run: given again on every start.
  std::vector<std::string> SiteArgs(const RunningSite& site, const std::string& db) const {
    return {"--db",       db,  "--site-origin",     Origin(site),
            "--pause-ms", "0", "--retry-delays-ms", "1,1"};
  }
  std::vector<std::string> NewRun(const RunningSite& site, const std::string& prefecture,
                                  const std::string& category, const std::string& output,
                                  const std::string& db,
                                  const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> args = {VALMERIC_CLI_EXE, "collect",  "--category", category,
                                     "--prefecture",   prefecture, "--output",   output};
    for (const auto& a : SiteArgs(site, db)) args.push_back(a);
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  std::vector<std::string> Again(const char* how, const RunningSite& site) const {
    std::vector<std::string> args = {VALMERIC_CLI_EXE, "collect", how};
    for (const auto& a : SiteArgs(site, db_path_)) args.push_back(a);
    return args;
  }

  pid_t Spawn(const std::vector<std::string>& args) {
    const pid_t pid = test::SpawnProcess(args, out_path_, err_path_);
    EXPECT_NE(pid, -1) << "cannot start " << args[0];
    return pid;
  }
  Exit Wait(pid_t pid) {
    return {test::WaitForChild(pid).status, test::ReadFile(out_path_), test::ReadFile(err_path_)};
  }
  Exit Run(const std::vector<std::string>& args) { return Wait(Spawn(args)); }

  // The CSV an uninterrupted run writes, from a database of its own.
  std::string Reference(const RunningSite& site, const std::string& prefecture,
                        const std::string& category, const std::vector<std::string>& extra = {}) {
    const std::string output = dir_.File("reference");
    const Exit done = Run(NewRun(site, prefecture, category, output, reference_db_, extra));
    EXPECT_EQ(done.status, 0) << done.err;
    return test::ReadFile(output + ".csv");
  }

  // Byte for byte, naming the first difference rather than printing megabytes.
  static void ExpectSameBytes(const std::string& got, const std::string& want) {
    const auto [a, b] = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    EXPECT_TRUE(a == got.end() && b == want.end())
        << "the files differ from byte " << (a - got.begin()) << " (" << got.size()
        << " bytes against " << want.size() << ")";
  }

  std::string Csv() const { return test::ReadFile(output_ + ".csv"); }

  // Runs args as an unprivileged user when the tests run as root, who writes
  // anywhere; false when that cannot be done here.
  bool AsUser(std::vector<std::string>& args) const {
    if (geteuid() != 0) return true;
    if (!fs::exists("/usr/bin/setpriv")) return false;
    args.insert(args.begin(),
                {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    return true;
  }

  // A run of prefecture 13, category 1 that the site cut off: its record
  // can be resumed.
  void CutRun() {
    sitesim::FaultOptions dies;
    dies.fail_after = 60;
    RunningSite dying(dies);
    ASSERT_EQ(Run(NewRun(dying, "13", "1", output_, db_path_)).status, 3);
  }

  test::TempDir dir_;
  std::string db_path_ = dir_.File("hpt_data.db");
  std::string reference_db_ = dir_.File("reference.db");
  std::string output_ = dir_.File("result");
  std::string out_path_ = dir_.File("stdout.txt");
  std::string err_path_ = dir_.File("stderr.txt");
};

TEST_F(ResumeTest, TwentySigkillsAndResumesLeaveTheBytesOfAnUninterruptedRun) {
  RunningSite quick;
  const std::string reference = Reference(quick, "13", "all");
  ASSERT_GT(reference.size(), 100000u);

  sitesim::FaultOptions slow;
  slow.latency_ms = 3;  // a run of several seconds, so that every kill lands mid-run
  RunningSite site(slow);
  const unsigned seed = std::random_device{}();
  std::printf("kill moments drawn with seed %u\n", seed);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> moment_ms(0, 1500);

  pid_t pid = Spawn(NewRun(site, "13", "all", output_, db_path_));
  int kills = 0;
  Exit last;
  for (; kills < 20; ++kills) {
    std::this_thread::sleep_for(std::chrono::milliseconds(moment_ms(random)));
    kill(pid, SIGKILL);
    last = Wait(pid);
    if (last.status != 128 + SIGKILL) break;  // it finished before the kill
    // As a user would: resume the recorded run, or start it again when the
    // kill came before the run was recorded at all.
    const bool recorded = Run({VALMERIC_CLI_EXE, "status", "--db", db_path_}).status == 0;
    pid = Spawn(recorded ? Again("--resume", site) : NewRun(site, "13", "all", output_, db_path_));
  }
  if (kills == 20) last = Wait(pid);
  EXPECT_EQ(kills, 20);
  EXPECT_EQ(last.status, 0) << last.err;
  ExpectSameBytes(Csv(), reference);
  EXPECT_EQ(Run({VALMERIC_CLI_EXE, "status", "--db", db_path_}).status, 1);  // nothing left to do
}

TEST_F(ResumeTest, ASiteThatDiesEndsWithCodeThreeAndResumeFinishesWhenItIsBack) {
  RunningSite quick;
  const std::string reference = Reference(quick, "13", "1");

  sitesim::FaultOptions dies;
  dies.fail_after = 150;  // then every request answers 503
  std::optional<RunningSite> site(std::in_place, dies);
  const Exit cut = Run(NewRun(*site, "13", "1", output_, db_path_));
  EXPECT_EQ(cut.status, 3) << cut.err;
  EXPECT_NE(cut.err.find("collect --resume"), std::string::npos) << cut.err;
  const Exit status = Run({VALMERIC_CLI_EXE, "status", "--db", db_path_});
  EXPECT_EQ(status.status, 0);
  EXPECT_NE(status.out.find("状態: 途中で終了しています。"), std::string::npos) << status.out;
  site.reset();

  RunningSite back;  // a new site, on another port: --site-origin is given again
  const Exit resumed = Run(Again("--resume", back));
  EXPECT_EQ(resumed.status, 0) << resumed.err;
  ExpectSameBytes(Csv(), reference);
}

TEST_F(ResumeTest, AnInterruptEndsWith130AndResumeFinishesTheSameFileInItsEncoding) {
  RunningSite quick;
  sitesim::FaultOptions slow;
  slow.latency_ms = 2;
  RunningSite site(slow);
  for (const char* encoding : {"cp932", "utf-8"}) {
    SCOPED_TRACE(encoding);
    const std::string reference = Reference(quick, "13", "all", {"--encoding", encoding});
    fs::remove(output_ + ".csv");  // the size below is the new run's
    const pid_t pid = Spawn(NewRun(site, "13", "all", output_, db_path_, {"--encoding", encoding}));
    // Interrupted once the run is well under way.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    const auto written = [this] {
      std::error_code error;
      const auto size = fs::file_size(output_ + ".csv", error);
      return error ? 0 : size;
    };
    while (written() < 50000 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGINT);
    const Exit interrupted = Wait(pid);
    EXPECT_EQ(interrupted.status, 130) << interrupted.err;
    const Exit resumed = Run(Again("--resume", quick));  // the encoding comes from the record
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_NE(resumed.err.find("前回の取得処理の続きから取得します。"), std::string::npos)
        << resumed.err;
    ExpectSameBytes(Csv(), reference);
  }
}

TEST_F(ResumeTest, RetryFailedFetchesTheMissingEntriesAndEveryListedFacilityIsThereOnce) {
  sitesim::FaultOptions flaky;
  flaky.fail_rate = 0.25;  // with three attempts, about one entry in 64 fails for good
  RunningSite site(flaky);
  const Exit first = Run(NewRun(site, "31", "all", output_, db_path_));
  ASSERT_EQ(first.status, 5) << first.err;
  const Exit status = Run({VALMERIC_CLI_EXE, "status", "--db", db_path_});
  EXPECT_EQ(status.status, 0);
  EXPECT_NE(status.out.find("--retry-failed"), std::string::npos) << status.out;
  EXPECT_EQ(Run(Again("--resume", site)).status, 2);  // finished: nothing to resume

  RunningSite healthy;
  const Exit retried = Run(Again("--retry-failed", healthy));
  EXPECT_EQ(retried.status, 0) << retried.err;

  const auto reply = healthy.Get("/_sim/listed?pref_no=31&ctgr=all");
  ASSERT_TRUE(reply && reply->status == 200);
  std::map<std::string, int> listed;
  for (const auto& row : sitesim::testing::TsvRows(reply->body)) listed[row[0]] = 0;
  const auto lines = SplitLines(Csv());
  ASSERT_FALSE(lines.empty());
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string code = lines[i].substr(1, lines[i].find('"', 1) - 1);
    const auto found = listed.find(code);
    ASSERT_NE(found, listed.end()) << "not listed: " << code;
    ++found->second;
  }
  for (const auto& [code, times] : listed) EXPECT_EQ(times, 1) << code;
  EXPECT_EQ(Run({VALMERIC_CLI_EXE, "status", "--db", db_path_}).status, 1);
  EXPECT_EQ(Run(Again("--retry-failed", healthy)).status, 2);  // nothing left to fetch again
}

TEST_F(ResumeTest, ADatabaseOfTheEarlierLayoutGainsTheJournalAndKeepsItsRows) {
  const auto rows = [](const std::string& db) {
    auto cities = test::QueryColumn(
        db, "SELECT AreaCode || '|' || CityCode || '|' || CityName FROM T01_City ORDER BY rowid");
    const auto subs = test::QueryColumn(db,
                                        "SELECT ID || '|' || CtgrCode || '|' || SubCtgrCode || '|' "
                                        "|| SubCtgrName FROM T02_Category ORDER BY ID");
    cities.insert(cities.end(), subs.begin(), subs.end());
    return cities;
  };
  // The earlier layout: the three tables only (the shipped file may have run already).
  for (const char* table : {"T03_Run", "T04_NotFetched", "T05_MorePages"}) {
    test::ExecuteOn(db_path_, std::string("DROP TABLE IF EXISTS ") + table);
  }
  test::ExecuteOn(db_path_, "PRAGMA user_version = 0");
  const auto before = rows(db_path_);
  ASSERT_GT(before.size(), 1000u);
  RunningSite site;
  EXPECT_EQ(Run(NewRun(site, "31", "1", output_, db_path_)).status, 0);
  EXPECT_EQ(rows(db_path_), before);
  EXPECT_EQ(test::QueryColumn(db_path_, "PRAGMA user_version"), std::vector<std::string>{"5"});
  EXPECT_EQ(test::QueryColumn(db_path_, "SELECT FacilitiesWritten FROM T03_Run"),
            std::vector<std::string>{std::to_string(SplitLines(Csv()).size() - 1)});
  EXPECT_EQ(test::QueryColumn(db_path_, "SELECT COUNT(*) FROM T00_Data"),
            std::vector<std::string>{std::to_string(SplitLines(Csv()).size() - 1)});
}

TEST_F(ResumeTest, AReadOnlyDatabaseRefusesToResumeAndTouchesNothing) {
  RunningSite site;
  CutRun();
  const std::string csv = Csv();
  const std::string db = test::ReadFile(db_path_);
  fs::permissions(output_ + ".csv", fs::perms::all);
  fs::permissions(db_path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  std::vector<std::string> status_args = {VALMERIC_CLI_EXE, "status", "--db", db_path_};
  std::vector<std::string> resume_args = Again("--resume", site);
  if (!AsUser(status_args) || !AsUser(resume_args)) GTEST_SKIP() << "needs setpriv to drop root";
  const Exit status = Run(status_args);
  EXPECT_EQ(status.status, 0) << status.err;
  const Exit refused = Run(resume_args);
  EXPECT_EQ(refused.status, 4) << refused.err;
  EXPECT_NE(refused.err.find("データベースに書き込めませんでした。\n"), std::string::npos)
      << refused.err;
  EXPECT_NE(refused.err.find("readonly"), std::string::npos) << refused.err;
  EXPECT_EQ(Csv(), csv);
  EXPECT_EQ(test::ReadFile(db_path_), db);
}

// status opens the database to read it, never to write: with the -wal of a
// run that was killed it changes no byte and adds no file, and on read-only
// media it answers as well, also for a database left in write-ahead-log mode.
TEST_F(ResumeTest, StatusReadsTheDatabaseOnReadOnlyMediaAndWritesNothing) {
  RunningSite quick;
  sitesim::FaultOptions slow;
  slow.latency_ms = 2;
  RunningSite site(slow);
  const auto folder = [this] {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      const std::string name = entry.path().filename().string();
      if (name != "stdout.txt" && name != "stderr.txt") files[name] = test::ReadFile(entry.path());
    }
    return files;
  };
  const struct {
    const char* name;
    bool killed;  // else a finished run, its database set to write-ahead logging
    int status;
  } cases[] = {{"LeftInWalMode", false, 1}, {"KilledMidRun", true, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.killed) {
      fs::remove(output_ + ".csv");  // the size below is the new run's
      const pid_t pid = Spawn(NewRun(site, "13", "1", output_, db_path_));
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      const auto written = [this] {
        std::error_code error;
        const auto size = fs::file_size(output_ + ".csv", error);
        return error ? 0 : size;
      };
      while (written() < 20000 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      kill(pid, SIGKILL);
      ASSERT_EQ(Wait(pid).status, 128 + SIGKILL);
      ASSERT_TRUE(fs::exists(db_path_ + "-wal"));
    } else {
      ASSERT_EQ(Run(NewRun(quick, "13", "1", output_, db_path_)).status, 0);
      test::ExecuteOn(db_path_, "PRAGMA journal_mode=WAL");  // as an earlier release left it
    }
    std::vector<std::string> status_args = {VALMERIC_CLI_EXE, "status", "--db", db_path_};
    if (!AsUser(status_args)) GTEST_SKIP() << "needs setpriv to drop root";
    const auto before = folder();
    fs::permissions(dir_.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                     fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
    const Exit read_only = Run(status_args);
    fs::permissions(dir_.path(), fs::perms::all);
    EXPECT_EQ(read_only.status, c.status) << read_only.err;
    EXPECT_NE(read_only.out.find("処理済みのページ: "), std::string::npos) << read_only.out;
    const Exit writable = Run(status_args);
    EXPECT_EQ(writable.out, read_only.out);
    EXPECT_EQ(folder(), before);
  }
}

TEST_F(ResumeTest, AResumeOntoAReadOnlyCsvSaysWhatTheFileHolds) {
  RunningSite site;
  CutRun();
  const std::vector<std::string> lines = SplitLines(Csv());
  ASSERT_GT(lines.size(), 1u);
  // What a run killed between two checkpoints leaves past the recorded
  // length: whole records the record does not count yet, and a torn one.
  test::WriteFile(output_ + ".csv", Csv() + lines.back() + "\r\n" + lines.back() + "\r\n" +
                                        lines.back().substr(0, 9));
  const std::string csv = Csv();
  const size_t records = lines.size() - 1 + 2;
  fs::permissions(db_path_, fs::perms::all);
  fs::permissions(output_ + ".csv",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  std::vector<std::string> resume_args = Again("--resume", site);
  if (!AsUser(resume_args)) GTEST_SKIP() << "needs setpriv to drop root";
  const Exit refused = Run(resume_args);
  EXPECT_EQ(refused.status, 4) << refused.err;
  EXPECT_NE(refused.err.find("取得済みの " + std::to_string(records) + " 件"), std::string::npos)
      << refused.err;
  EXPECT_EQ(Csv(), csv);
}

// Towns merge while the reference tables keep them: their result pages answer
// 404. Such pages are recorded apart and passed, and the run ends as one that
// could not fetch everything, never as a site that cannot be reached.
TEST_F(ResumeTest, PagesThatDoNotExistArePassedAndRetryFailedAsksForJustThose) {
  constexpr int kGonePages = 2 * 14;  // two cities, fourteen sub-categories of category 1
  sitesim::FaultOptions empty;
  empty.empty_cities = {31201, 31364};  // the plan's first city and one in its middle
  RunningSite listing_nothing(empty);
  const std::string reference = Reference(listing_nothing, "31", "1");

  sitesim::FaultOptions merged;
  merged.gone_cities = empty.empty_cities;
  RunningSite site(merged);
  const Exit first = Run(NewRun(site, "31", "1", output_, db_path_));
  EXPECT_EQ(first.status, 5) << first.err;
  EXPECT_NE(first.err.find("サイトに存在しないページが " + std::to_string(kGonePages) + " 件"),
            std::string::npos)
      << first.err;
  EXPECT_NE(first.err.find("rebuild-cities"), std::string::npos) << first.err;
  ExpectSameBytes(Csv(), reference);
  const Exit status = Run({VALMERIC_CLI_EXE, "status", "--db", db_path_});
  EXPECT_EQ(status.status, 0);
  EXPECT_NE(status.out.find(std::to_string(kGonePages)), std::string::npos) << status.out;

  {  // a retry the site cuts off is retried again, not resumed
    sitesim::FaultOptions dead;
    dead.fail_after = 0;
    RunningSite down(dead);
    const Exit cut = Run(Again("--retry-failed", down));
    EXPECT_EQ(cut.status, 3) << cut.err;
    EXPECT_NE(cut.err.find("--retry-failed"), std::string::npos) << cut.err;
    EXPECT_EQ(cut.err.find("--resume"), std::string::npos) << cut.err;
  }
  RunningSite still_merged(merged);
  const Exit retried = Run(Again("--retry-failed", still_merged));
  EXPECT_EQ(retried.status, 5) << retried.err;
  const sitesim::SiteStats asked = still_merged.server().stats();
  EXPECT_EQ(asked.faults, static_cast<std::uint64_t>(kGonePages));  // each gone page once
  EXPECT_EQ(asked.result_pages, 0u);                                // and no other
  EXPECT_LE(asked.requests - asked.faults, kGonePages / 3 + 1u);    // the list page, now and then
  ExpectSameBytes(Csv(), reference);
}

// A record or a file that no longer tells the run's moment: edited by hand,
// by another program, or another collection saved under the same name. The
// resume is refused before anything is touched.
struct SpoiltRecordCase {
  const char* name;
  const char* sql;                                 // run on the database, or null
  std::function<void(std::string& csv)> edit_csv;  // applied to the CSV, or null
  const char* message;
};

TEST_F(ResumeTest, ARecordOrFileThatNoLongerTellsTheRunIsRefusedTouchingNothing) {
  const char* kRecord = "データベースに記録された前回の取得の情報が正しくない";
  const char* kFile = "前回の保存先ファイルが見つからないか変更されている";
  const std::string unrelated = dir_.File("unrelated.txt");
  const std::string set_unrelated =
      "UPDATE T03_Run SET OutputPath = CAST('" + unrelated + "' AS BLOB)";
  const std::vector<SpoiltRecordCase> cases = {
      {"EntriesDoneNegative", "UPDATE T03_Run SET EntriesDone = -5", nullptr, kRecord},
      {"EntriesDonePastThePlan", "UPDATE T03_Run SET EntriesDone = PlanSize + 1", nullptr, kRecord},
      {"PlanSizeUnknownAfterEntries", "UPDATE T03_Run SET PlanSize = -1", nullptr, kRecord},
      {"PlanSizeBelowUnknown", "UPDATE T03_Run SET PlanSize = -2", nullptr, kRecord},
      {"CsvBytesZero", "UPDATE T03_Run SET CsvBytes = 0", nullptr, kRecord},
      {"CsvBytesInsideTheHeader", "UPDATE T03_Run SET CsvBytes = 5", nullptr, kRecord},
      {"CsvBytesInsideALine", "UPDATE T03_Run SET CsvBytes = CsvBytes - 7", nullptr, kFile},
      {"FacilitiesNegative", "UPDATE T03_Run SET FacilitiesWritten = -1", nullptr, kRecord},
      {"PairIndexPastThePlan", "UPDATE T03_Run SET PairIndex = PlanSize", nullptr, kRecord},
      {"PairPagesPastTheMost", "UPDATE T03_Run SET PairIndex = 0, PairPages = 101", nullptr,
       kRecord},
      {"FacilitiesOtherThanTheLines", "UPDATE T03_Run SET FacilitiesWritten = 1", nullptr, kFile},
      {"NotFetchedIndexNegative",
       "INSERT INTO T04_NotFetched (PlanIndex, PlanEntry, Status) VALUES (-1, 'x', 503)", nullptr,
       kRecord},
      {"NotFetchedIndexPastThePlan",
       "INSERT INTO T04_NotFetched (PlanIndex, PlanEntry, Status) VALUES (99999, 'x', 503)",
       nullptr, kRecord},
      // Numbers past what an int holds, which a 32-bit read would take for small ones.
      {"EntriesDonePastAnInt", "UPDATE T03_Run SET EntriesDone = 4294967296 + EntriesDone + 1",
       nullptr, kRecord},
      {"PlanSizePastAnInt", "UPDATE T03_Run SET PlanSize = 4294967296 + PlanSize", nullptr,
       kRecord},
      {"FacilitiesPastAnInt",
       "UPDATE T03_Run SET FacilitiesWritten = 4294967296 + FacilitiesWritten", nullptr, kRecord},
      {"NotFetchedIndexPastAnInt",
       "INSERT INTO T04_NotFetched (PlanIndex, PlanEntry, Status) VALUES (4294967296, 'x', 503)",
       nullptr, kRecord},
      {"MorePagesIndexPastAnInt",
       "INSERT INTO T05_MorePages (PlanIndex, AreaCode, SubCtgrCode, Announced, Listed) "
       "VALUES (4294967296, '13101', '110', 30, 20)",
       nullptr, kRecord},
      {"MorePagesAnnouncedPastAnInt",
       "INSERT OR REPLACE INTO T05_MorePages (PlanIndex, AreaCode, SubCtgrCode, Announced, "
       "Listed) VALUES (0, '13101', '110', 4294967296 + 30, 20)",
       nullptr, kRecord},
      {"UnknownEncoding", "UPDATE T03_Run SET Encoding = 'latin1'", nullptr, kRecord},
      {"NoCategory", "UPDATE T03_Run SET Categories = ''", nullptr, kRecord},
      {"OutputNamesAnUnrelatedFile", set_unrelated.c_str(), nullptr, kFile},
      {"LineInsertedAfterTheHeader", nullptr,
       [](std::string& csv) { csv.insert(csv.find("\r\n") + 2, "\"x\",\"y\",\r\n"); }, kFile},
      {"RecordDeleted", nullptr,
       [](std::string& csv) {
         const size_t first = csv.find("\r\n") + 2;
         csv.erase(first, csv.find("\r\n", first) + 2 - first);
       },
       kFile},
      {"AFieldChanged", nullptr, [](std::string& csv) { csv[csv.find("\r\n") + 4] ^= 1; }, kFile},
      {"AnotherCollectionOfTheSameName", nullptr,
       [](std::string& csv) {
         const size_t header = csv.find("\r\n") + 2;
         csv = csv.substr(0, header) + std::string(csv.size() - header, 'z');
       },
       kFile},
  };
  RunningSite site;
  CutRun();
  const std::string csv = Csv();
  const std::string db = test::ReadFile(db_path_);
  test::WriteFile(unrelated, "a file of the user's own\r\n");
  for (const SpoiltRecordCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteFile(db_path_, db);
    std::string edited = csv;
    if (c.edit_csv) c.edit_csv(edited);
    test::WriteFile(output_ + ".csv", edited);
    if (c.sql) test::ExecuteOn(db_path_, c.sql);
    const Exit refused = Run(Again("--resume", site));
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_NE(refused.err.find(c.message), std::string::npos) << refused.err;
    EXPECT_EQ(Csv(), edited);
    EXPECT_EQ(test::ReadFile(unrelated), "a file of the user's own\r\n");
  }
  // Unspoilt, the same record resumes.
  test::WriteFile(db_path_, db);
  test::WriteFile(output_ + ".csv", csv);
  EXPECT_EQ(Run(Again("--resume", site)).status, 0);
}

// The facility codes of a CSV the program wrote, in file order.
std::vector<std::string> CodesIn(const std::string& csv) {
  std::vector<std::string> codes;
  const auto lines = SplitLines(csv);
  for (size_t i = 1; i < lines.size(); ++i)
    codes.push_back(lines[i].substr(1, lines[i].find('"', 1) - 1));
  return codes;
}

// The codes the local site's own model lists for a query, in the order a
// client meets them: pages "first" or "all".
std::vector<std::string> ListedCodes(const RunningSite& site, const std::string& query,
                                     const char* pages) {
  const auto reply = site.Get("/_sim/listed?" + query + "&pages=" + pages);
  std::vector<std::string> codes;
  if (!reply || reply->status != 200) return codes;
  for (const auto& row : sitesim::testing::TsvRows(reply->body)) codes.push_back(row[0]);
  return codes;
}

// Result pages the site has sent so far.
long ResultPagesServed(const RunningSite& site) {
  const auto reply = site.Get("/_sim/stats");
  if (!reply) return -1;
  const size_t at = reply->body.find("result_pages=");
  return at == std::string::npos ? -1 : std::stol(reply->body.substr(at + 13));
}

// However the site writes its link to the next page, --all-pages writes
// every facility of every page once, in page order; links that leave the
// pair's pages are never asked for.
TEST_F(ResumeTest, AllPagesFollowsEveryLinkFormTheSiteMayWrite) {
  using sitesim::NextLinkForm;
  const char* query = "pref_no=13&ctgr=1";
  const struct {
    const char* name;
    NextLinkForm form;
    bool followed;
  } cases[] = {
      {"query", NextLinkForm::kQuery, true}, {"rel", NextLinkForm::kRel, true},
      {"path", NextLinkForm::kPath, true},   {"relative", NextLinkForm::kRelative, true},
      {"loop", NextLinkForm::kLoop, true},   {"other_host", NextLinkForm::kOtherHost, false},
  };
  long pages_of_every_pair = -1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sitesim::FaultOptions faults;
    faults.next_link = c.form;
    RunningSite site(faults);
    const Exit done = Run(NewRun(site, "13", "1", output_, db_path_, {"--all-pages"}));
    EXPECT_EQ(done.status, 0) << done.err;
    const auto want = ListedCodes(site, query, c.followed ? "all" : "first");
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(CodesIn(Csv()), want);
    const long served = ResultPagesServed(site);
    if (c.form == NextLinkForm::kQuery) pages_of_every_pair = served;
    // A loop back to the first page is never taken: no page is asked twice.
    if (c.followed) {
      EXPECT_EQ(served, pages_of_every_pair);
    }
  }
}

// A first-pages run followed by --more-pages writes what an all-pages run
// writes; the pairs' later pages come after the first pages, in the same file.
TEST_F(ResumeTest, MorePagesAfterAFirstPagesRunWritesWhatAllPagesWrites) {
  RunningSite site;
  const Exit first = Run(NewRun(site, "13", "1", output_, db_path_));
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.err.find("--more-pages"), std::string::npos) << first.err;
  const auto first_pages = CodesIn(Csv());
  EXPECT_EQ(first_pages, ListedCodes(site, "pref_no=13&ctgr=1", "first"));
  const Exit status = Run({VALMERIC_CLI_EXE, "status", "--db", db_path_});
  EXPECT_NE(status.out.find("--more-pages"), std::string::npos) << status.out;

  const Exit more = Run(Again("--more-pages", site));
  ASSERT_EQ(more.status, 0) << more.err;
  auto written = CodesIn(Csv());
  EXPECT_TRUE(std::equal(first_pages.begin(), first_pages.end(), written.begin()));
  auto want = ListedCodes(site, "pref_no=13&ctgr=1", "all");
  std::sort(written.begin(), written.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(written, want);
  EXPECT_EQ(Run(Again("--more-pages", site)).status, 2);  // nothing left beyond the first pages
}

// Kills, each followed by a resume, leave the bytes of an uninterrupted
// all-pages run. The site is dense: most of its pages are later pages, so
// that many kills land while a pair's later pages are read, after a
// checkpoint taken among them.
TEST_F(ResumeTest, AllPagesRunsKilledOnLaterPagesResumeToTheSameBytes) {
  constexpr double kDense = 4.0;
  RunningSite quick({}, sitesim::kDefaultSeed, {}, 0.0, kDense);
  const std::string reference = Reference(quick, "13", "1", {"--all-pages"});
  sitesim::FaultOptions slow;
  slow.latency_ms = 1;
  RunningSite site(slow, sitesim::kDefaultSeed, {}, 0.0, kDense);
  const unsigned seed = std::random_device{}();
  std::printf("kill moments drawn with seed %u\n", seed);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> moment_ms(0, 2500);
  pid_t pid = Spawn(NewRun(site, "13", "1", output_, db_path_, {"--all-pages"}));
  int on_later_pages = 0;
  Exit last;
  for (int kills = 0; kills < 12; ++kills) {
    std::this_thread::sleep_for(std::chrono::milliseconds(moment_ms(random)));
    kill(pid, SIGKILL);
    last = Wait(pid);
    if (last.status != 128 + SIGKILL) break;
    const bool recorded = Run({VALMERIC_CLI_EXE, "status", "--db", db_path_}).status == 0;
    if (recorded && test::QueryColumn(db_path_, "SELECT PairIndex >= 0 FROM T03_Run") ==
                        std::vector<std::string>{"1"}) {
      ++on_later_pages;
    }
    pid = Spawn(recorded ? Again("--resume", site)
                         : NewRun(site, "13", "1", output_, db_path_, {"--all-pages"}));
  }
  if (last.status == 128 + SIGKILL) last = Wait(pid);
  EXPECT_EQ(last.status, 0) << last.err;
  EXPECT_GT(on_later_pages, 0);
  ExpectSameBytes(Csv(), reference);
}

}  // namespace
}  // namespace valmeric
