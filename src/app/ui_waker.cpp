#include "app/ui_waker.h"

#include <QSocketNotifier>
#include <cstdint>

#ifdef __linux__
#include <sys/eventfd.h>
#include <unistd.h>
#endif

namespace valmeric::app {

UiWaker::UiWaker(std::function<void()> handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {
#ifdef __linux__
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd_ >= 0) {
    auto* notifier = new QSocketNotifier(wake_fd_, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
      std::uint64_t count = 0;
      [[maybe_unused]] const auto n = ::read(wake_fd_, &count, sizeof count);
      handler_();
    });
  }
#endif
}

UiWaker::~UiWaker() {
#ifdef __linux__
  qDeleteAll(findChildren<QSocketNotifier*>());
  if (wake_fd_ >= 0) ::close(wake_fd_);
#endif
}

void UiWaker::Wake() {
#ifdef __linux__
  if (wake_fd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(wake_fd_, &one, sizeof one);
    return;
  }
#endif
  QMetaObject::invokeMethod(
      this, [this] { handler_(); }, Qt::QueuedConnection);
}

}  // namespace valmeric::app
