#include "engine/run_outcome.h"

namespace valmeric {

Outcome DecideOutcome(const RunProgress& progress, const WalkEnd& end) {
  if (end.cancelled) return Outcome::kCancelled;
  if (end.failed_in_row_limit || end.site_down) return Outcome::kSiteUnreachable;
  if (progress.not_fetched > 0 && progress.missing() >= progress.entries_done) {
    return Outcome::kSiteUnreachable;
  }
  if (progress.missing() > 0) return Outcome::kIncomplete;
  return progress.facilities_written > 0 ? Outcome::kCompleted : Outcome::kNothingFound;
}

}  // namespace valmeric
