#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

#include "cli/console.h"

namespace valmeric::cli {
namespace {

std::atomic<bool>* g_interrupted = nullptr;

extern "C" void OnStopRequest(int) {
  g_interrupted->store(true);
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

void CatchStopRequests(std::atomic<bool>& interrupted) {
  g_interrupted = &interrupted;
  struct sigaction action {};
  action.sa_handler = &OnStopRequest;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

// Terminals and files take UTF-8 as it is.
void SetUpConsoleText() {}

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) != 0;
}

int StandardErrorColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

}  // namespace valmeric::cli
