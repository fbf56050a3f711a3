#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace valmeric {

// The terminate request of a run: set once by the owner, polled by the worker,
// and able to cut the worker's waits short.
class CancelToken final {
 public:
  void Cancel() {
    {
      std::lock_guard lock(mutex_);
      cancelled_ = true;
    }
    changed_.notify_all();
  }

  bool IsCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
  }

  // Sleeps for duration, or less when the run is cancelled meanwhile.
  // Returns false when it was cut short.
  bool WaitFor(std::chrono::milliseconds duration) const {
    if (duration.count() <= 0) return !IsCancelled();  // no wait, and no system call
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, duration, [this] { return cancelled_; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool cancelled_ = false;
};

}  // namespace valmeric
