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

#include "common/sjis_text.h"
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
  slow.latency_ms = 2;  // a run of several seconds, so that every kill lands mid-run
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
  EXPECT_EQ(test::QueryColumn(db_path_, "PRAGMA user_version"), std::vector<std::string>{"1"});
  EXPECT_EQ(test::QueryColumn(db_path_, "SELECT FacilitiesWritten FROM T03_Run"),
            std::vector<std::string>{std::to_string(SplitLines(Csv()).size() - 1)});
  EXPECT_EQ(test::QueryColumn(db_path_, "SELECT COUNT(*) FROM T00_Data"),
            std::vector<std::string>{std::to_string(SplitLines(Csv()).size() - 1)});
}

TEST_F(ResumeTest, AReadOnlyDatabaseRefusesToResumeAndTouchesNothing) {
  RunningSite site;
  sitesim::FaultOptions dies;
  dies.fail_after = 60;
  {
    RunningSite dying(dies);
    ASSERT_EQ(Run(NewRun(dying, "13", "1", output_, db_path_)).status, 3);
  }
  const std::string csv = Csv();
  const std::string db = test::ReadFile(db_path_);
  fs::permissions(output_ + ".csv", fs::perms::all);
  fs::permissions(db_path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  std::vector<std::string> prefix;
  if (geteuid() == 0) {
    // Root writes anywhere; an unprivileged user meets the read-only file.
    if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "needs setpriv to drop root";
    prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  auto as_user = [&prefix](std::vector<std::string> args) {
    args.insert(args.begin(), prefix.begin(), prefix.end());
    return args;
  };
  const Exit status = Run(as_user({VALMERIC_CLI_EXE, "status", "--db", db_path_}));
  EXPECT_EQ(status.status, 0) << status.err;
  const Exit refused = Run(as_user(Again("--resume", site)));
  EXPECT_EQ(refused.status, 4) << refused.err;
  EXPECT_NE(refused.err.find("データベースに書き込めませんでした。\n"), std::string::npos)
      << refused.err;
  EXPECT_NE(refused.err.find("readonly"), std::string::npos) << refused.err;
  EXPECT_EQ(Csv(), csv);
  EXPECT_EQ(test::ReadFile(db_path_), db);
}

}  // namespace
}  // namespace valmeric
