#pragma once

#include <string>
#include <vector>

#include "engine/record.h"

namespace valmeric {

// What the result page reader needs from the run it works for.
class ResultPageSink {
 public:
  virtual ~ResultPageSink() = default;
  // Asks the duplicate filter; true when the code was already seen in this run.
  virtual bool CheckHspCode(const std::string& code) = 0;
  virtual void WriteRecord(const Record& record) = 0;
  // The entry's counts changed: done facility links of total announced.
  virtual void ShowPairStatus(int done, int total) = 0;
  virtual bool CancelRequested() = 0;
};

// Counts of one result page, as the status text shows them.
struct PairCounts {
  int total = 0;  // results the page announces
  int done = 0;   // facility links handled, written or duplicate
};

// The result count announced on the page, or 0 when there is none that reads
// as a plain integer.
int ReadResultCount(const std::vector<std::string>& lines, ResultPageSink& sink);

// Walks the facility entries of a loaded result page (lines still in EUC-JP),
// asks about each facility code and writes every new facility's record, until
// the announced count is reached, the page ends or the run is cancelled.
PairCounts ReadResultPage(const std::vector<std::string>& lines, ResultPageSink& sink);

}  // namespace valmeric
