#pragma once

#include <optional>
#include <string>

#include "engine/change_report.h"
#include "engine/run_outcome.h"
#include "engine/run_session.h"

namespace valmeric {

// The change report a run writes by itself after replacing a list.
struct RefreshReport {
  std::string path;  // beside the new list, absolute
  ChangeCounts counts;
  std::string failure;  // why it was not written (UTF-8); empty when it was
};

// "<stem>_変更点<extension>" beside output: "病院施設一覧.csv" -> "病院施設一覧_変更点.csv".
std::string RefreshReportPath(const std::string& output);

// After run ended with outcome: when it fetched every page (its whole plan,
// and no page left unfetched) and replaced a list collected with the same
// ticks and encoding over as many pages (run.previous_path), writes the
// change report of that list against the new one beside the new one, as
// `diff` writes it. A report already there is kept aside under a dated name
// first. None when no report is due; one with failure set when it could not
// be written, which changes nothing else about the run.
std::optional<RefreshReport> WriteRefreshReport(const RunOutcome& outcome, const RecordedRun& run);

}  // namespace valmeric
