#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include <memory>

#include "engine/run_owner.h"
#include "engine/run_signals.h"
#include "engine/sync_queue.h"

namespace valmeric::cli {

// The command line's side of a run: it owns the database connection, runs the
// worker's synchronized calls on the main thread and prints progress.
class CliOwner final : public RunOwner {
 public:
  CliOwner(Database& db, Selection selection, std::ostream& progress, bool quiet, bool terminal);

  void Synchronize(const std::function<void()>& fn) override { queue_.Call(fn); }
  Selection CurrentSelection() override { return selection_; }
  Database& RunDatabase() override { return db_; }
  void InitProgress(int maximum) override;
  void StepProgress() override;
  void ShowStatus(const std::string& sjis_text) override;
  void RunEnded() override { ended_ = true; }

  // Main thread: runs waiting synchronized calls for up to timeout.
  void Pump(std::chrono::milliseconds timeout) { queue_.Pump(timeout); }
  bool ended() const { return ended_; }
  // Ends the progress line, if one is showing.
  void FinishProgress();
  // The run whose written count the progress line shows.
  void Watch(std::shared_ptr<const RunSignals> signals) { signals_ = std::move(signals); }

 private:
  void Print(bool force);

  SyncQueue queue_;
  Database& db_;
  const Selection selection_;
  std::ostream& progress_;
  const bool quiet_;
  const bool terminal_;
  bool ended_ = false;
  int position_ = 0;
  int maximum_ = 0;
  std::string status_;  // UTF-8
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_print_{};
  bool line_open_ = false;
  std::shared_ptr<const RunSignals> signals_;
};

}  // namespace valmeric::cli
