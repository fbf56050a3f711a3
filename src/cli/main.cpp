#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iostream>

#include "cli/cli_main.h"
#include "cli/exit_codes.h"
#include "common/standard_descriptors.h"

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) { g_interrupted = true; }

}  // namespace

int main(int argc, char** argv) {
  if (!valmeric::OpenClosedStandardDescriptors()) return valmeric::cli::kExitUsage;
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  const std::vector<std::string> args(argv + 1, argv + argc);
  return valmeric::cli::CliMain(args, std::cout, std::cerr, g_interrupted, isatty(STDERR_FILENO));
}
