#pragma once

#include <string>

namespace valmeric {

// How a run ended, for the window's message and the command line's status.
// A run that was resumed counts from its first start: entries, facilities and
// entries not fetched include what the earlier starts did.
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
  int facilities_written = 0;   // record lines that reached the file
  int entries_done = 0;         // plan entries read to their end
  int entries_total = 0;        // the plan's size
  int entries_not_fetched = 0;  // entries whose page did not arrive after the retries
  int entries_gone = 0;         // entries whose page the site said does not exist (404, 410)
  // The database still records the run, for a resume or a retry: false when
  // it stopped before its file was ever opened, which leaves nothing to go on with.
  bool recorded = true;
  // Facilities that result pages announced beyond what they listed, and the
  // pairs they belong to, over the whole run (an earlier start included).
  int beyond_first_page = 0;
  int beyond_pairs = 0;
  std::string detail;  // the technical reason (path, system error, status), UTF-8
};

// What a run counted, to be turned into its outcome.
struct RunTally {
  int facilities_written = 0;
  int entries_done = 0;
  int entries_total = 0;
  int entries_not_fetched = 0;
  int entries_gone = 0;
  bool failed_in_row_limit = false;  // too many entries in a row could not be fetched
  // Every page was gone and the site's own list page did not answer either.
  bool site_down = false;
  bool cancelled = false;
};

// The outcome of a run that stopped without a local error. A run is never a
// plain success while an entry could not be fetched, and a run in which no
// entry could be fetched at all means the site could not be reached. Pages
// that do not exist say nothing against the site, which answered for them.
Outcome DecideOutcome(const RunTally& tally);

}  // namespace valmeric
