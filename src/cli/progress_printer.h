#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/run_reports.h"

namespace valmeric::cli {

// utf8 cut on a whole character so that it takes at most columns columns of
// a terminal, East Asian wide characters counting two.
std::string CutToColumns(std::string_view utf8, int columns);

// The command line's progress: entry i of N, the status line and an ETA. On
// a terminal one line, redrawn at most four times a second and cut to the
// terminal's width (columns; 0 when unknown), so that it never wraps; in a
// pipe or a file, one line an entry, each entry once, as it stood when the
// next one started (or at Finish).
class ProgressPrinter final {
 public:
  ProgressPrinter(std::ostream& out, bool quiet, bool terminal, int columns = 0)
      : out_(out), quiet_(quiet), terminal_(terminal), columns_(columns) {}

  // Takes the run's news; prints when it is time or when force is set.
  void Show(const RunNews& news, bool force = false);
  // Ends the progress line, if one is showing; in a pipe, prints the last
  // entry's line.
  void Finish();

 private:
  void FlushPending();

  std::ostream& out_;
  const bool quiet_;
  const bool terminal_;
  const int columns_;
  // In a pipe: the line of the entry under way, not printed yet.
  std::string pending_;
  int pending_position_ = -1;
  int position_ = 0;
  int maximum_ = 0;
  int start_ = 0;       // entries done before this start
  std::string status_;  // UTF-8
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_print_{};
  bool line_open_ = false;
};

}  // namespace valmeric::cli
