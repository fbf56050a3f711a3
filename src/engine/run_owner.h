#pragma once

#include <functional>
#include <string>

#include "engine/plan.h"
#include "refdb/sqlite_db.h"

namespace valmeric {

// The side of a run that owns the database and shows progress: the window, or
// the command line. The worker reaches it only through Synchronize; every
// other method is called inside a synchronized call, on the owner's thread.
class RunOwner {
 public:
  virtual ~RunOwner() = default;

  // Runs fn on the owner's thread and waits for it; an exception thrown by fn
  // is thrown again here.
  virtual void Synchronize(const std::function<void()>& fn) = 0;

  virtual Selection CurrentSelection() = 0;
  virtual Database& RunDatabase() = 0;
  virtual void InitProgress(int maximum) = 0;
  virtual void StepProgress() = 0;
  virtual void ShowStatus(const std::string& sjis_text) = 0;
  // The run is over: its file is closed and its signals hold the outcome.
  virtual void RunEnded() = 0;
};

}  // namespace valmeric
