#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform/app_paths.h"

namespace valmeric::cli {

// The command line's ties to its console; console_posix.cpp and
// console_windows.cpp are the two halves.

// The arguments after the program's name, in UTF-8.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Sets interrupted when the user asks the program to stop: Ctrl-C, and the
// system's other stop requests (SIGTERM; a console window closed). Writing
// to a closed pipe becomes a write error instead of a stop.
void CatchStopRequests(std::atomic<bool>& interrupted);

// Makes the UTF-8 that std::cout and std::cerr are given read correctly on
// the console and in a file they are redirected to.
void SetUpConsoleText();

bool StandardErrorIsTerminal();
// The width of the terminal standard error goes to, in columns; 0 when it is
// not known.
int StandardErrorColumns();

// The program's name as the user types it: "valmeric-cli", or
// "valmeric-cli.exe" on Windows.
inline std::string_view ProgramName() {
  return CommandLineProgramName();
}

}  // namespace valmeric::cli
