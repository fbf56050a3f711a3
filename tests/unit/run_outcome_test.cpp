#include "engine/run_outcome.h"

#include <gtest/gtest.h>
#include "support/named_case.h"

namespace valmeric {
namespace {

// What a run counted and how its walk stopped.
struct Tally {
  int written, done, total, not_fetched, gone;
  bool in_row_limit, site_down, cancelled;
};

struct OutcomeCase {
  const char* name;
  Tally tally;
  Outcome expected;
};
VALMERIC_PRINT_CASE_BY_NAME(OutcomeCase)

class DecideOutcomeTest : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(DecideOutcomeTest, NeverCallsARunWithMissingPagesASuccess) {
  const Tally& tally = GetParam().tally;
  RunProgress progress;
  progress.facilities_written = tally.written;
  progress.entries_done = tally.done;
  progress.entries_total = tally.total;
  progress.not_fetched = tally.not_fetched;
  progress.gone = tally.gone;
  const WalkEnd end{tally.cancelled, tally.in_row_limit, tally.site_down};
  EXPECT_EQ(DecideOutcome(progress, end), GetParam().expected);
}

// Fields: written, done, total, not fetched, gone, in-row limit, site down, cancelled.
INSTANTIATE_TEST_SUITE_P(
    Tallies, DecideOutcomeTest,
    ::testing::Values(
        OutcomeCase{"EverythingFetched", {5, 4, 4, 0, 0, false, false, false}, Outcome::kCompleted},
        OutcomeCase{
            "NothingOnAnyPage", {0, 4, 4, 0, 0, false, false, false}, Outcome::kNothingFound},
        OutcomeCase{"EmptyPlan", {0, 0, 0, 0, 0, false, false, false}, Outcome::kNothingFound},
        OutcomeCase{"OnePageMissing", {5, 4, 4, 1, 0, false, false, false}, Outcome::kIncomplete},
        OutcomeCase{"PagesMissingAndNothingWritten",
                    {0, 4, 4, 2, 0, false, false, false},
                    Outcome::kIncomplete},
        OutcomeCase{"NoPageAtAll", {0, 2, 2, 2, 0, false, false, false}, Outcome::kSiteUnreachable},
        OutcomeCase{"ThreeInARow", {5, 7, 9, 3, 0, true, false, false}, Outcome::kSiteUnreachable},
        OutcomeCase{"OnePageGone", {5, 4, 4, 0, 1, false, false, false}, Outcome::kIncomplete},
        OutcomeCase{
            "EveryPageGoneOnALiveSite", {0, 4, 4, 0, 4, false, false, false}, Outcome::kIncomplete},
        OutcomeCase{"EveryPageGoneAndTheSiteDown",
                    {0, 4, 4, 0, 4, false, true, false},
                    Outcome::kSiteUnreachable},
        OutcomeCase{"GoneAndFailedButNoneFetched",
                    {0, 4, 4, 1, 3, false, false, false},
                    Outcome::kSiteUnreachable},
        OutcomeCase{
            "CancelledWithPagesMissing", {5, 2, 4, 1, 0, false, false, true}, Outcome::kCancelled}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace valmeric
