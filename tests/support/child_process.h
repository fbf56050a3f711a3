#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace valmeric::test {

// Starts args[0] (a path) with the rest as its arguments and this process's
// environment; its stdout and stderr go to the files named (created or
// emptied). Returns the child's id, or -1 when it could not be started.
pid_t SpawnProcess(const std::vector<std::string>& args, const std::string& stdout_path,
                   const std::string& stderr_path);

// How a child ended.
struct ChildExit {
  int status = -1;        // exit status, or 128 + the signal that ended it
  long peak_rss_kib = 0;  // its peak resident set
};

// Waits for the child to end.
ChildExit WaitForChild(pid_t pid);

}  // namespace valmeric::test
