#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "common/cancel_token.h"

namespace valmeric {

// ResultCode values a run ends with.
enum ResultCode : int {
  kNothingWritten = 0,   // no facility line was written
  kWroteFacilities = 1,  // at least one facility line was written
  kRunFailed = 8,        // an error stopped the run; see RunSignals::failure()
  kSiteUnreachable = 9,  // the site could not be reached
};

enum class FailureKind { kNone, kOutput, kDatabaseRead, kDatabaseWrite, kLocal };

struct RunFailure {
  FailureKind kind = FailureKind::kNone;
  std::string message;  // UTF-8
};

// What the window and the worker of one run share. Each run has its own, so a
// worker the window has let go of can never touch a newer run.
class RunSignals final {
 public:
  std::atomic<bool> running{false};
  std::atomic<int> result_code{kNothingWritten};
  // The owner has let go of this run: it must no longer be shown or told.
  std::atomic<bool> forgotten{false};
  std::atomic<int> entries_done{0};
  std::atomic<int> entries_total{0};
  std::atomic<int> records_written{0};
  CancelToken cancel;

  void SetFailure(RunFailure failure) {
    std::lock_guard lock(mutex_);
    if (failure_.kind == FailureKind::kNone) failure_ = std::move(failure);
  }
  RunFailure failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
  }

 private:
  mutable std::mutex mutex_;
  RunFailure failure_;
};

}  // namespace valmeric
