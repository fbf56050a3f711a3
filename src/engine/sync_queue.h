#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

namespace valmeric {

// Runs functions handed over by other threads on the thread that pumps it, and
// makes each caller wait until its function has run. An exception thrown by
// the function is thrown again in the caller.
class SyncQueue final {
 public:
  // Any thread but the pumping one: runs fn there and waits.
  void Call(const std::function<void()>& fn);

  // The pumping thread: runs every waiting call; waits up to timeout for the
  // first one. Returns how many calls ran.
  size_t Pump(std::chrono::milliseconds timeout);

 private:
  struct Request {
    const std::function<void()>* fn;
    std::exception_ptr error;
    bool done = false;
  };

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::condition_variable finished_;
  std::deque<Request*> pending_;
};

}  // namespace valmeric
