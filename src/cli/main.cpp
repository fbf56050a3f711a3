#include <atomic>
#include <iostream>

#include "cli/cli_main.h"
#include "cli/console.h"
#include "cli/exit_codes.h"
#include "common/platform/standard_descriptors.h"

namespace {

std::atomic<bool> g_interrupted{false};

}  // namespace

int main(int argc, char** argv) {
  using namespace valmeric::cli;
  if (!valmeric::OpenClosedStandardDescriptors()) return kExitUsage;
  CatchStopRequests(g_interrupted);
  SetUpConsoleText();
  return CliMain(CommandLineArguments(argc, argv), std::cout, std::cerr, g_interrupted,
                 StandardErrorIsTerminal());
}
