// The real program as a user starts it: one instance at a time.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

extern char** environ;

namespace valmeric::app {
namespace {

namespace fs = std::filesystem;

// The real program, started twice with its own runtime folder.
class ProgramInstanceTest : public ::testing::Test {
 protected:
  pid_t Launch() {
    std::vector<std::string> env = {
        "XDG_RUNTIME_DIR=" + runtime_.path().string(), "QT_QPA_PLATFORM=offscreen",
        "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus", "HOME=" + home_.path().string()};
    if (const char* path = std::getenv("PATH")) env.push_back(std::string("PATH=") + path);
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      if (entry.rfind("ASAN_OPTIONS=", 0) == 0 || entry.rfind("TSAN_OPTIONS=", 0) == 0 ||
          entry.rfind("UBSAN_OPTIONS=", 0) == 0 || entry.rfind("LSAN_OPTIONS=", 0) == 0) {
        env.push_back(entry);
      }
    }
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string exe = VALMERIC_PROGRAM;
    char* argv[] = {exe.data(), nullptr};
    pid_t pid = 0;
    EXPECT_EQ(::posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, envp.data()), 0);
    started_.push_back(pid);
    return pid;
  }

  // Exit status, or -1 while it still runs after timeout.
  static int WaitExit(pid_t pid, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    do {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid)
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < until);
    return -1;
  }

  // True once pid holds the lock file (read from the kernel's lock table, so
  // looking does not take the lock away from the program).
  bool HoldsLock(pid_t pid) {
    struct stat info {};
    if (::stat((runtime_.path() / "Quillmere.lock").c_str(), &info) != 0) return false;
    std::ifstream locks("/proc/locks");
    std::string line;
    const std::string inode = ":" + std::to_string(info.st_ino) + " ";
    while (std::getline(locks, line)) {
      std::istringstream fields(line);
      std::string id, kind, mode, access, owner, device;
      fields >> id >> kind >> mode >> access >> owner >> device;
      if (kind == "->") continue;
      if (kind == "FLOCK" && owner == std::to_string(pid) &&
          (device + " ").find(inode) != std::string::npos) {
        return true;
      }
    }
    return false;
  }

  bool WaitHolds(pid_t pid) {
    for (int i = 0; i < 2000; ++i) {
      if (HoldsLock(pid)) return true;
      if (WaitExit(pid, std::chrono::milliseconds(10)) != -1) return false;
    }
    return false;
  }

  void Stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    if (WaitExit(pid, std::chrono::seconds(10)) == -1) {
      ::kill(pid, SIGKILL);
      WaitExit(pid, std::chrono::seconds(10));
    }
  }

  void TearDown() override {
    for (pid_t pid : started_) {
      if (::kill(pid, 0) == 0) Stop(pid);
    }
  }

  test::TempDir runtime_;
  test::TempDir home_;
  std::vector<pid_t> started_;
};

TEST_F(ProgramInstanceTest, ASecondStartEndsWithCodeOneWhileTheFirstRuns) {
  const pid_t first = Launch();
  ASSERT_TRUE(WaitHolds(first)) << "the first instance did not take its lock";

  const pid_t second = Launch();
  EXPECT_EQ(WaitExit(second, std::chrono::seconds(20)), 1);
  EXPECT_EQ(WaitExit(first, std::chrono::milliseconds(100)), -1)
      << "the first instance was disturbed";
  EXPECT_TRUE(HoldsLock(first));

  Stop(first);
  const pid_t third = Launch();
  EXPECT_TRUE(WaitHolds(third)) << "a start after the first had ended did not succeed";
  EXPECT_EQ(WaitExit(third, std::chrono::milliseconds(200)), -1);
}

TEST(CloseDuringARunTest, TheProcessIsGoneWithinASecondOfTheConfirmation) {
  const std::string command = std::string("QT_QPA_PLATFORM=offscreen ") + VALMERIC_CLOSE_PROBE;
  FILE* probe = ::popen(command.c_str(), "r");
  ASSERT_NE(probe, nullptr);
  char line[64] = {};
  ASSERT_NE(std::fgets(line, sizeof line, probe), nullptr) << "the probe said nothing";
  ASSERT_STREQ(line, "closing\n");
  const auto confirmed = std::chrono::steady_clock::now();
  while (std::fgets(line, sizeof line, probe) != nullptr) {
  }
  const auto gone = std::chrono::steady_clock::now();  // end of output: every descriptor closed
  const int status = ::pclose(probe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(gone - confirmed);
  std::printf("from the confirmation to the process's end: %lld ms\n",
              static_cast<long long>(elapsed.count()));
  EXPECT_LT(elapsed, std::chrono::seconds(1));
}

}  // namespace
}  // namespace valmeric::app
