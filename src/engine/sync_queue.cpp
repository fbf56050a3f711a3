#include "engine/sync_queue.h"

namespace valmeric {

void SyncQueue::Call(const std::function<void()>& fn) {
  Request request{&fn, nullptr};
  std::unique_lock lock(mutex_);
  pending_.push_back(&request);
  arrived_.notify_one();
  finished_.wait(lock, [&request] { return request.done; });
  if (request.error) std::rethrow_exception(request.error);
}

size_t SyncQueue::Pump(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!arrived_.wait_for(lock, timeout, [this] { return !pending_.empty(); })) return 0;
  size_t count = 0;
  while (!pending_.empty()) {
    Request* request = pending_.front();
    pending_.pop_front();
    lock.unlock();
    try {
      (*request->fn)();
    } catch (...) {
      request->error = std::current_exception();
    }
    lock.lock();
    request->done = true;
    finished_.notify_all();
    ++count;
  }
  return count;
}

}  // namespace valmeric
