#pragma once

#include <QObject>
#include <functional>

namespace valmeric::app {

// Lets another thread wake the thread this object lives on (the UI thread),
// which then runs the handler from its event loop. Wake never blocks and
// carries no data: what is to be done travels under the sender's own lock.
class UiWaker final : public QObject {
  Q_OBJECT

 public:
  explicit UiWaker(std::function<void()> handler, QObject* parent = nullptr);
  ~UiWaker() override;

  // Any thread.
  void Wake();

 private:
  std::function<void()> handler_;
  // The UI thread is woken through an eventfd rather than a posted event, so
  // nothing allocated by another thread travels through the toolkit's queue,
  // and the hand-over is one the thread checker can see.
  int wake_fd_ = -1;
};

}  // namespace valmeric::app
