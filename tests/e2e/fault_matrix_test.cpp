// What the user gets when the site, the network, the disk or the database
// misbehaves during a real collection. Each case runs the command line, most
// of them as a separate process against the local directory site.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "common/text/sjis_text.h"
#include "engine/csv_writer.h"
#include "running_site.h"
#include "support/child_process.h"
#include "support/cp932_check.h"
#include "support/local_server.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace valmeric {
namespace {

using sitesim::testing::RunningSite;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

struct Outcome {
  int status = -1;  // exit status, or 128 + signal
  long peak_rss_kib = 0;
  std::string err;  // what the user read on stderr
};

class FaultMatrixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(VALMERIC_SHIPPED_DB, db_path_);
    // Whatever earlier runs left in the duplicate table, start from a compact file.
    test::ExecuteOn(db_path_, "DELETE FROM T00_Data");
    test::ExecuteOn(db_path_, "VACUUM");
    std::filesystem::permissions(dir_.path(), std::filesystem::perms::all);
  }

  std::vector<std::string> CollectArgs(const std::string& origin,
                                       const std::string& prefecture = "31",
                                       const std::string& category = "1") {
    return {VALMERIC_CLI_EXE, "collect",  "--category",        category,
            "--prefecture",   prefecture, "--output",          output_,
            "--db",           db_path_,   "--site-origin",     origin,
            "--pause-ms",     "0",        "--retry-delays-ms", "1,1"};
  }

  // Starts args (optionally behind a wrapper such as a shell); stderr goes to a file.
  pid_t Spawn(const std::vector<std::string>& args) {
    const pid_t pid = test::SpawnProcess(args, "/dev/null", err_path_);
    EXPECT_NE(pid, -1) << "cannot start " << args[0];
    return pid;
  }

  Outcome Wait(pid_t pid) {
    const test::ChildExit exit = test::WaitForChild(pid);
    return {exit.status, exit.peak_rss_kib, test::ReadFile(err_path_)};
  }

  Outcome Run(const std::vector<std::string>& args) { return Wait(Spawn(args)); }

  std::string Csv() const { return test::ReadCsv(output_ + ".csv"); }

  // Every line of the CSV ends with CR LF, and every record has its eight
  // quoted fields and the closing comma.
  void ExpectOnlyWholeLines() const {
    const std::string csv = Csv();
    ASSERT_GE(csv.size(), 2u);
    EXPECT_EQ(csv.substr(csv.size() - 2), "\r\n");
    const auto lines = SplitLines(csv);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], CsvHeaderLine());
    for (size_t i = 1; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      size_t quotes = 0;
      for (char c : line) quotes += c == '"';
      EXPECT_TRUE(line.size() >= 25 && line.front() == '"' && line.substr(line.size() - 2) == "\",")
          << "line " << i + 1 << ": " << line;
      EXPECT_GE(quotes, 16u) << "line " << i + 1;
    }
  }

  static std::string Origin(const RunningSite& site) {
    return "http://127.0.0.1:" + std::to_string(site.port());
  }

  test::TempDir dir_;
  std::string db_path_ = dir_.File("hpt_data.db");
  std::string output_ = dir_.File("result");
  std::string err_path_ = dir_.File("stderr.txt");
};

constexpr char kUnreachable[] = "サイトへのアクセスができませんでした。";
constexpr char kCompleted[] = "事業所情報の取得が完了しました。";

TEST_F(FaultMatrixTest, ServerDownFromTheStart) {
  test::LocalServer closed;
  closed.Start();
  const std::string origin = closed.Origin();
  closed.Stop();
  const Outcome o = Run(CollectArgs(origin));
  EXPECT_EQ(o.status, 3);
  EXPECT_NE(o.err.find(kUnreachable), std::string::npos) << o.err;
  EXPECT_EQ(Csv(), CsvHeaderLine() + "\r\n");
}

// Every page cut off mid-body, sent as gzip that stops after two thirds of
// its stream, or sent round a redirect loop: each counts as a page that could
// not be fetched, and nothing of it is ever read.
TEST_F(FaultMatrixTest, PagesThatNeverArriveWholeAreNeverRead) {
  struct Case {
    const char* name;
    double sitesim::FaultOptions::*rate;
  } cases[] = {{"dropped mid-body", &sitesim::FaultOptions::drop_rate},
               {"gzip cut short, framing whole", &sitesim::FaultOptions::gzip_cut_rate},
               {"redirect loop", &sitesim::FaultOptions::redirect_loop_rate}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sitesim::FaultOptions faults;
    faults.*c.rate = 1.0;
    RunningSite site(faults);
    const Outcome o = Run(CollectArgs(Origin(site)));
    EXPECT_EQ(o.status, 3) << o.err;
    EXPECT_EQ(Csv(), CsvHeaderLine() + "\r\n");
  }
}

TEST_F(FaultMatrixTest, AnUntrustedCertificateGivesNoDataAndATrustedOneDoes) {
  const auto cert = test::TestCertificate::Create(dir_.path().string());
  sitesim::ListenOptions listen;
  listen.tls_port = 0;
  listen.cert_file = cert.cert_file;
  listen.key_file = cert.key_file;
  RunningSite site({}, sitesim::kDefaultSeed, listen);
  const std::string origin = "https://127.0.0.1:" + std::to_string(site.https_port());
  const Outcome untrusted = Run(CollectArgs(origin));
  EXPECT_EQ(untrusted.status, 3) << untrusted.err;
  EXPECT_EQ(Csv(), CsvHeaderLine() + "\r\n");

  auto args = CollectArgs(origin);
  args.insert(args.end(), {"--ca-file", cert.cert_file});
  const Outcome trusted = Run(args);
  EXPECT_EQ(trusted.status, 0) << trusted.err;
  EXPECT_GT(SplitLines(Csv()).size(), 1u);
}

TEST_F(FaultMatrixTest, HundredMebibyteBodiesAreAbandonedWithFlatMemory) {
  sitesim::FaultOptions faults;
  faults.oversize_results = true;
  faults.oversize_mb = 100;
  RunningSite site(faults);
  const Outcome o = Run(CollectArgs(Origin(site)));
  EXPECT_EQ(o.status, 3) << o.err;
  EXPECT_EQ(Csv(), CsvHeaderLine() + "\r\n");
  if (!kSanitized) {
    EXPECT_LT(o.peak_rss_kib, 40 * 1024);
  }
}

TEST_F(FaultMatrixTest, AFullDiskEndsWithTheWriteErrorNeverCompleted) {
  RunningSite site;
  // A file size limit stands in for a disk that fills: every write past
  // 1 MiB fails, whether the CSV's or the database's reaches it first.
  auto args = CollectArgs(Origin(site), "13", "all");
  std::string command = "trap '' XFSZ; ulimit -f 1024; exec";
  for (const auto& a : args) command += " '" + a + "'";
  const Outcome o = Run({"/bin/bash", "-c", command});
  EXPECT_EQ(o.status, 4) << o.err;
  EXPECT_EQ(o.err.find(kCompleted), std::string::npos) << o.err;
  // The output file's or the database's write error, whichever came first.
  EXPECT_TRUE(o.err.find("保存先のファイルに書き込めませんでした。\n") != std::string::npos ||
              o.err.find("データベースに書き込めませんでした。\n") != std::string::npos)
      << o.err;
  EXPECT_NE(o.err.find(" 件は保存されています。\n(" + output_ + ".csv)"), std::string::npos)
      << o.err;
  ExpectOnlyWholeLines();
}

TEST_F(FaultMatrixTest, ADatabaseLockedByAnotherProgramStopsBeforeTouchingTheOldFile) {
  RunningSite site;
  // With a rollback journal the lock keeps the program from reading the file
  // at all (a database error); with write-ahead logging it can read but not
  // write (a write error). Either way it waits 5 s for the lock, then stops.
  struct Case {
    const char* journal_mode;
    int status;
  } cases[] = {{"DELETE", 2}, {"WAL", 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.journal_mode);
    test::ExecuteOn(db_path_, std::string("PRAGMA journal_mode=") + c.journal_mode);
    test::WriteFile(output_ + ".csv", "yesterday's results");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db_path_.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const Outcome o = Run(CollectArgs(Origin(site)));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(o.status, c.status) << o.err;
    EXPECT_NE(o.err.find("database is locked"), std::string::npos) << o.err;
    EXPECT_EQ(Csv(), "yesterday's results");
  }
}

TEST_F(FaultMatrixTest, AReadOnlyDatabaseStopsBeforeTouchingTheOldFile) {
  RunningSite site;
  test::WriteFile(output_ + ".csv", "yesterday's results");
  std::filesystem::permissions(output_ + ".csv", std::filesystem::perms::all);
  std::filesystem::permissions(db_path_, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
  auto args = CollectArgs(Origin(site));
  if (geteuid() == 0) {
    // Root writes anywhere; an unprivileged user meets the read-only file.
    if (!std::filesystem::exists("/usr/bin/setpriv")) GTEST_SKIP() << "needs setpriv to drop root";
    args.insert(args.begin(),
                {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  }
  const Outcome o = Run(args);
  EXPECT_EQ(o.status, 4) << o.err;
  EXPECT_NE(o.err.find("readonly"), std::string::npos) << o.err;
  EXPECT_EQ(Csv(), "yesterday's results");
}

// Started with standard streams closed, the program's first files (the lock
// file first) would take their numbers and receive its messages.
TEST_F(FaultMatrixTest, ClosedStandardStreamsNeverSendTextIntoTheProgramsFiles) {
  RunningSite site;
  struct Case {
    const char* name;
    std::vector<int> closed;
  } cases[] = {
      {"standard error closed", {2}},
      {"all three closed", {0, 1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(db_path_ + ".lock");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    for (int fd : c.closed) posix_spawn_file_actions_addclose(&actions, fd);
    auto args = CollectArgs(Origin(site));
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The result line (the output's name and a tab) goes to standard output,
    // the completion to standard error. (The run journal in the database
    // records the output's name itself, without the tab.)
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      if (!entry.is_regular_file()) continue;
      const std::string bytes = test::ReadFile(entry.path().string());
      EXPECT_EQ(bytes.find(output_ + ".csv\t"), std::string::npos)
          << "standard output went into " << entry.path();
      EXPECT_EQ(bytes.find(kCompleted), std::string::npos)
          << "standard error went into " << entry.path();
    }
    EXPECT_GT(SplitLines(Csv()).size(), 1u);
  }
}

TEST_F(FaultMatrixTest, KilledMidRunLeavesOnlyWholeLines) {
  sitesim::FaultOptions faults;
  faults.latency_ms = 2;
  RunningSite site(faults);
  const pid_t pid = Spawn(CollectArgs(Origin(site), "13", "all"));
  // Wait until the run has written something, then kill it without warning.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code error;
    if (std::filesystem::file_size(output_ + ".csv", error) > 20000 && !error) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  const Outcome o = Wait(pid);
  EXPECT_EQ(o.status, 128 + SIGKILL);
  EXPECT_GT(SplitLines(Csv()).size(), 10u);
  ExpectOnlyWholeLines();
}

}  // namespace
}  // namespace valmeric

namespace valmeric {
namespace {

// A server that announces a large body and sends one byte every 300 ms: it
// never trips the stall rule within the test, so only the signal can end it.
class TricklingServer {
 public:
  TricklingServer() {
    server_.server().Get(
        R"(/doko/kekka\.php/(\d+)/)", [this](const httplib::Request&, httplib::Response& res) {
          ++requests_;
          res.set_content_provider(
              50'000'000, "text/html", [this](size_t offset, size_t, httplib::DataSink& sink) {
                std::unique_lock lock(mutex_);
                if (offset > 0)
                  ended_.wait_for(lock, std::chrono::milliseconds(300), [this] { return stop_; });
                if (stop_) return false;
                return sink.write("<", 1);
              });
        });
    server_.Start();
  }
  ~TricklingServer() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    ended_.notify_all();
    server_.Stop();
  }
  std::string Origin() const { return server_.Origin(); }
  int requests() const { return requests_; }

 private:
  test::LocalServer server_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool stop_ = false;
  std::atomic<int> requests_{0};
};

TEST_F(FaultMatrixTest, InterruptOrTerminateEndsTheRunWithinASecondWhateverTheTransferDoes) {
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    TricklingServer site;
    const pid_t pid = Spawn(CollectArgs(site.Origin()));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (site.requests() == 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GT(site.requests(), 0) << "the run never asked for a page";
    const auto sent = std::chrono::steady_clock::now();
    ::kill(pid, signal);
    const Outcome o = Wait(pid);
    const auto took = std::chrono::steady_clock::now() - sent;
    EXPECT_EQ(o.status, 130) << o.err;
    EXPECT_LT(took, std::chrono::seconds(1));
    std::printf("signal %d to exit: %lld ms\n", signal,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    EXPECT_NE(o.err.find("取得処理を中断しました。0 / "), std::string::npos) << o.err;
    EXPECT_EQ(Csv(), CsvHeaderLine() + "\r\n");
  }
}

TEST_F(FaultMatrixTest, AResultLineThatCannotBeWrittenIsAWriteErrorNotSuccess) {
  RunningSite site;
  std::string command = "exec";
  for (const auto& a : CollectArgs(Origin(site))) command += " '" + a + "'";
  const Outcome o = Run({"/bin/bash", "-c", command + " >/dev/full"});
  EXPECT_EQ(o.status, 4) << o.err;
  EXPECT_NE(o.err.find("結果を標準出力に書き出せませんでした。"), std::string::npos) << o.err;
  ExpectOnlyWholeLines();
}

}  // namespace
}  // namespace valmeric
