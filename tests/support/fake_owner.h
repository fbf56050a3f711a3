#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "engine/run_owner.h"
#include "engine/sync_queue.h"
#include "engine/worker.h"

namespace valmeric::test {

// A run owner for tests: the test thread pumps the worker's synchronized
// calls, and everything the worker shows is recorded.
class FakeOwner final : public RunOwner {
 public:
  FakeOwner(Database& db, Selection selection) : db_(db), selection_(std::move(selection)) {}

  void Synchronize(const std::function<void()>& fn) override { queue_.Call(fn); }
  Selection CurrentSelection() override { return selection_; }
  Database& RunDatabase() override { return db_; }
  void InitProgress(int maximum) override {
    ++init_calls;
    maximum_ = maximum;
    position = 0;
  }
  void StepProgress() override {
    ++position;
    if (on_step) on_step(position);
  }
  void ShowStatus(const std::string& text) override {
    statuses.push_back(text);
    if (on_status) on_status(text);
  }
  void RunEnded() override {
    ++end_calls;
    running_at_end = signals_of_run ? signals_of_run->running.load() : false;
  }

  // Starts a worker with config and pumps until its thread has ended.
  std::shared_ptr<RunSignals> Run(RunConfig config);

  int init_calls = 0;
  int maximum_ = 0;
  int position = 0;
  int end_calls = 0;
  bool running_at_end = true;
  std::vector<std::string> statuses;
  std::function<void(int)> on_step;
  std::function<void(const std::string&)> on_status;
  std::shared_ptr<TMyThread> worker;
  std::shared_ptr<RunSignals> signals_of_run;

 private:
  SyncQueue queue_;
  Database& db_;
  Selection selection_;
};

}  // namespace valmeric::test
