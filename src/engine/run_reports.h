#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "engine/run_outcome.h"

namespace valmeric {

// What the owner of a run has not seen yet. Progress is kept as its latest
// state, so an owner that looks less often than the worker reports misses no
// step: it sees where the run stands now.
struct RunNews {
  // Once, when the walk starts: its length (entries_total) and the entries an
  // earlier start already read (entries_done).
  std::optional<RunProgress> plan;
  int position = 0;  // plan entries started, the one being read included
  // Pairs' later pages: found by the links read so far, and started. They
  // lengthen the walk as they are found.
  int later_found = 0;
  int later_started = 0;
  bool status_changed = false;
  std::string status;                 // the status line, CP932
  int written = 0;                    // facility lines written so far
  std::optional<RunOutcome> outcome;  // set once, when the run is over
};

// The one-way road from a run's worker to its owner: the worker reports and
// never waits for the owner; the owner takes the news on its own thread.
class RunReports final {
 public:
  enum class Wake { kOnAnyNews, kOnEndOnly };

  // wake runs on the worker's thread when news arrives while none is waiting
  // (or only for the end, with kOnEndOnly). It must not block.
  explicit RunReports(std::function<void()> wake = {}, Wake when = Wake::kOnAnyNews);

  // Worker side.
  // The walk is about to start, as progress says.
  void PlanReady(const RunProgress& progress);
  // An entry of the walk starts: its place ("北海道札幌市 - 一般内科") is its
  // status line until its page tells the counts, and heads it after.
  void EntryStarted(int position, std::string place);
  void PairCounts(int done, int total, int written);
  // A pair's page links to a next one, to be read; and that page starts.
  void LaterPageFound();
  void LaterPageStarted();
  void Ended(RunOutcome outcome);

  // Owner side: everything new since the last call.
  RunNews Take();
  // Waits up to timeout for the end of the run; true when it has ended.
  bool WaitForEnd(std::chrono::milliseconds timeout);

 private:
  void Notify(std::unique_lock<std::mutex>& lock, bool end);
  static constexpr int kCountsUnknown = -1;

  const std::function<void()> wake_;
  const Wake when_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool pending_ = false;
  bool has_ended_ = false;
  std::optional<RunProgress> plan_;
  bool plan_told_ = false;
  int position_ = 0;
  int later_found_ = 0;
  int later_started_ = 0;
  std::string status_place_;  // the place of the entry being read
  int done_ = 0;
  int total_ = 0;
  int written_ = 0;
  bool status_changed_ = false;
  std::optional<RunOutcome> outcome_;
};

}  // namespace valmeric
