#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "engine/run_reports.h"

namespace valmeric::cli {

// The command line's progress: entry i of N, the status line and an ETA, at
// most four times a second (every entry when not on a terminal is too much
// for a log, so the same pace applies there).
class ProgressPrinter final {
 public:
  ProgressPrinter(std::ostream& out, bool quiet, bool terminal)
      : out_(out), quiet_(quiet), terminal_(terminal) {}

  // Takes the run's news; prints when it is time or when force is set.
  void Show(const RunNews& news, bool force = false);
  // Ends the progress line, if one is showing.
  void Finish();

 private:
  std::ostream& out_;
  const bool quiet_;
  const bool terminal_;
  int position_ = 0;
  int maximum_ = 0;
  int later_found_ = 0;  // later pages found so far: the walk grows by them
  int start_ = 0;        // entries done before this start
  std::string status_;   // UTF-8
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_print_{};
  bool line_open_ = false;
};

}  // namespace valmeric::cli
