#include "engine/run_outcome.h"

namespace valmeric {

Outcome DecideOutcome(const RunTally& tally) {
  if (tally.cancelled) return Outcome::kCancelled;
  if (tally.failed_in_row_limit || tally.site_down) return Outcome::kSiteUnreachable;
  const int missing = tally.entries_not_fetched + tally.entries_gone;
  if (tally.entries_not_fetched > 0 && missing >= tally.entries_done) {
    return Outcome::kSiteUnreachable;
  }
  if (missing > 0) return Outcome::kIncomplete;
  return tally.facilities_written > 0 ? Outcome::kCompleted : Outcome::kNothingFound;
}

}  // namespace valmeric
