#include "app/ui_call_gate.h"

#include <QThread>
#include <algorithm>
#include <cstdint>

#ifdef __linux__
#include <sys/eventfd.h>
#include <unistd.h>
#endif

namespace valmeric::app {

UiCallGate::UiCallGate(QObject* parent) : QObject(parent) {
#ifdef __linux__
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd_ >= 0) {
    auto* notifier = new QSocketNotifier(wake_fd_, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
      std::uint64_t count = 0;
      [[maybe_unused]] const auto n = ::read(wake_fd_, &count, sizeof count);
      RunPending();
    });
  }
#endif
}

UiCallGate::~UiCallGate() {
  Close();
#ifdef __linux__
  qDeleteAll(findChildren<QSocketNotifier*>());
  if (wake_fd_ >= 0) ::close(wake_fd_);
#endif
}

void UiCallGate::Wake() {
#ifdef __linux__
  if (wake_fd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(wake_fd_, &one, sizeof one);
    return;
  }
#endif
  QMetaObject::invokeMethod(this, &UiCallGate::RunPending, Qt::QueuedConnection);
}

void UiCallGate::Call(const std::function<void()>& fn) {
  if (QThread::currentThread() == thread()) {
    fn();
    return;
  }
  auto request = std::make_shared<Request>();
  request->fn = &fn;
  {
    std::lock_guard lock(mutex_);
    if (closed_) throw GateClosed();
    pending_.push_back(request);
  }
  Wake();
  std::exception_ptr error;
  {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return request->done || (closed_ && !request->started); });
    if (!request->done) {
      pending_.erase(std::remove(pending_.begin(), pending_.end(), request), pending_.end());
      throw GateClosed();
    }
    // Taken out under the lock, so the exception is never released by the gate's thread.
    error = std::move(request->error);
  }
  if (error) std::rethrow_exception(error);
}

void UiCallGate::RunPending() {
  for (;;) {
    std::shared_ptr<Request> request;
    {
      std::lock_guard lock(mutex_);
      if (pending_.empty() || closed_) return;
      request = pending_.front();
      pending_.pop_front();
      request->started = true;
    }
    // The function may open a message box, whose event loop runs RunPending
    // again for other callers; each request is taken exactly once.
    std::exception_ptr error;
    try {
      (*request->fn)();
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      request->error = std::move(error);
      request->done = true;
    }
    finished_.notify_all();
  }
}

void UiCallGate::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  finished_.notify_all();
}

}  // namespace valmeric::app
