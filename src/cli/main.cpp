#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <iostream>

#include "cli/cli_main.h"
#include "cli/exit_codes.h"

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) { g_interrupted = true; }

// A standard descriptor the program was started without would be handed to
// the first file it opens (the lock file), and its messages would go there.
// Each closed one is opened on /dev/null instead, before anything else.
bool OpenClosedStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lower descriptors are open by now, so this one is the lowest free.
    const int opened = open("/dev/null", O_RDWR);
    if (opened != fd) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!OpenClosedStandardDescriptors()) return valmeric::cli::kExitUsage;
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  const std::vector<std::string> args(argv + 1, argv + argc);
  return valmeric::cli::CliMain(args, std::cout, std::cerr, g_interrupted, isatty(STDERR_FILENO));
}
