#pragma once

#include <string>

#include "refdb/run_progress.h"

namespace valmeric {

// How a run ended, for the window's message and the command line's status.
enum class Outcome {
  kCompleted,        // every page fetched, at least one facility written
  kNothingFound,     // every page fetched, no facility written
  kIncomplete,       // finished, but some plan entries could not be fetched or do not exist
  kSiteUnreachable,  // the site could not be reached: no page at all, or too many in a row
  kCancelled,        // stopped on request
  kFailed,           // a local error stopped the run: see RunOutcome::failure
};

// Which local error stopped a run.
enum class FailureKind { kNone, kOutput, kDatabaseRead, kDatabaseWrite, kScratch };

struct RunOutcome {
  Outcome kind = Outcome::kNothingFound;
  FailureKind failure = FailureKind::kNone;
  // Where the run stood at its end, counted from its first start. For a
  // retry, entries_done and entries_total count the entries fetched again,
  // and not_fetched and gone what is still left to fetch.
  RunProgress progress;
  // The database still records the run, for a resume or a retry: false when
  // it stopped before its file was ever opened, which leaves nothing to go on with.
  bool recorded = true;
  std::string detail;  // the technical reason (path, system error, status), UTF-8
  // The site could not be reached at the placeholder host of a build made
  // without the site's host name.
  bool placeholder_host = false;
};

// How a walk over the plan stopped, besides reaching its end.
struct WalkEnd {
  bool cancelled = false;
  bool failed_in_row_limit = false;  // too many entries in a row could not be fetched
  // Every page was gone and the site's own list page did not answer either.
  bool site_down = false;
};

// The outcome of a run that stopped without a local error. A run is never a
// plain success while an entry could not be fetched, and a run in which no
// entry could be fetched at all means the site could not be reached. Pages
// that do not exist say nothing against the site, which answered for them.
Outcome DecideOutcome(const RunProgress& progress, const WalkEnd& end);

}  // namespace valmeric
