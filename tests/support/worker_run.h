#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/worker.h"
#include "support/result_page.h"

namespace valmeric::test {

// What an owner that looks at every piece of news saw of a run.
struct RunRecord {
  RunOutcome outcome;
  int plan_size = -1;
  int position = 0;
  std::vector<std::string> statuses;
};

// Records config's new run in its database, as a session does before the
// worker starts.
void RecordNewRun(const RunConfig& config);

// Runs a worker to its end, taking its news as an owner would.
RunRecord RunToEnd(RunConfig config,
                   const std::function<void(TMyThread&, const RunNews&)>& on_news = {});

// The facilities' codes, in list order.
std::vector<std::string> CodesOf(const std::vector<PageFacility>& list);

// Codes of the record lines of the CSV at path, in file order.
std::vector<std::string> WrittenCodes(const std::string& path);

}  // namespace valmeric::test
