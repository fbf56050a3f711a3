#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/text/page_lines.h"
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
  int total = 0;                  // results the page announces; 0 when its count is unreadable
  int done = 0;                   // facility links handled, written or duplicate
  int skipped = 0;                // entries whose link holds no usable facility code
  bool count_unreadable = false;  // the page has a count that does not read as one
  bool cut_short = false;         // the run was cancelled before the page was read to its end
};

// The result count a page announces.
struct AnnouncedCount {
  bool found = false;        // the page has its results_number section
  std::optional<int> value;  // the count, when it reads as one from 0 to INT_MAX
};

// The first results_number section's count. Digits may be full-width, grouped
// by commas and surrounded by spaces ("1,234", "１２３", " 3 ").
AnnouncedCount ReadResultCount(const PageLines& lines, ResultPageSink& sink);

// What a page that came with a 2xx answer is, before it is read.
enum class PageKind {
  kResultPage,      // a page in EUC-JP with its results_number section (which an empty one has too)
  kNotAResultPage,  // no results_number section: a login, "busy" or empty page, never "nothing
                    // found"
  kOtherEncoding,   // declares a charset other than EUC-JP, or its text does not read as EUC-JP
};
PageKind CheckResultPage(const PageLines& lines);

// The facility code of an entry's link path: its last segment, the query and
// fragment left out; empty when that is no code (empty, or holding a space,
// a double quote, "&" or a control character).
std::string FacilityCode(std::string_view link_path);

// Walks the facility entries of a loaded result page (lines still in EUC-JP),
// asks about each facility code and writes every new facility's record, until
// the announced count is reached, the page ends or the run is cancelled
// (cut_short: what was written of the page is the caller's to take back). An
// entry without a usable code is skipped; entries inside HTML comments are not
// entries. A page whose count cannot be read has every entry it lists read.
// A pair's later page counts listed_before, the entries its earlier pages
// listed, against the announced count: the cap holds over all its pages.
PairCounts ReadResultPage(const PageLines& lines, ResultPageSink& sink, int listed_before = 0);

}  // namespace valmeric
