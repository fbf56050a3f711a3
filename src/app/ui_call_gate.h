#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace valmeric::app {

// The gate was closed: the window is going away and runs no more calls.
class GateClosed : public std::runtime_error {
 public:
  GateClosed() : std::runtime_error("the window has closed") {}
};

// Runs functions handed over by worker threads on the thread the gate lives
// on (the UI thread), from its event loop, and makes each caller wait until
// its function has run; an exception thrown by the function is thrown again
// in the caller. Once closed, waiting and later callers get GateClosed.
class UiCallGate final : public QObject {
  Q_OBJECT

 public:
  explicit UiCallGate(QObject* parent = nullptr);
  ~UiCallGate() override;

  void Call(const std::function<void()>& fn);
  // The gate's thread: fails every waiting call that has not begun, and every
  // later one. A call already running is let finish.
  void Close();

 private:
  struct Request {
    const std::function<void()>* fn = nullptr;
    std::exception_ptr error;
    bool started = false;
    bool done = false;
  };

  void RunPending();
  void Wake();

  // The gate's thread is woken through an eventfd rather than a posted
  // event: nothing allocated by a worker then travels through the toolkit's
  // queue, and the hand-over is one the thread checker can see.
  int wake_fd_ = -1;

  std::mutex mutex_;
  std::condition_variable finished_;
  std::deque<std::shared_ptr<Request>> pending_;
  bool closed_ = false;
};

}  // namespace valmeric::app
