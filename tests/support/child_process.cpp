#include "support/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace valmeric::test {

pid_t SpawnProcess(const std::vector<std::string>& args, const std::string& stdout_path,
                   const std::string& stderr_path) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0666);
  posix_spawn_file_actions_addopen(&actions, 2, stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0666);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

ChildExit WaitForChild(pid_t pid) {
  ChildExit exit;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return exit;
  exit.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  exit.peak_rss_kib = usage.ru_maxrss;
  return exit;
}

}  // namespace valmeric::test
