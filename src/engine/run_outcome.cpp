#include "engine/run_outcome.h"

namespace valmeric {

Outcome DecideOutcome(const RunTally& tally) {
  if (tally.cancelled) return Outcome::kCancelled;
  if (tally.failed_in_row_limit) return Outcome::kSiteUnreachable;
  if (tally.entries_not_fetched > 0) {
    return tally.entries_not_fetched >= tally.entries_done ? Outcome::kSiteUnreachable
                                                           : Outcome::kIncomplete;
  }
  return tally.facilities_written > 0 ? Outcome::kCompleted : Outcome::kNothingFound;
}

}  // namespace valmeric
