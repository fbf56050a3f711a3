#include "desktop/taskbar_progress.h"

#include <QIcon>
#include <QString>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace valmeric::desktop {

namespace {

bool g_held = false;

bool SendUpdate(const QVariantMap& properties) {
  QDBusMessage update =
      QDBusMessage::createSignal(kLauncherObjectPath, kLauncherInterface, kLauncherMember);
  update << QString::fromLatin1(kLauncherAppUri) << properties;
  return QDBusConnection::sessionBus().send(update);
}

}  // namespace

bool InitializeTaskbarAPI() {
  if (g_held) return true;
  g_held = QDBusConnection::sessionBus().isConnected();
  return g_held;
}

bool SetTaskbarProgressState(TTaskBarProgressState state) {
  if (!g_held) return false;
  // The launcher entry knows only shown and hidden progress.
  return SendUpdate(
      {{QStringLiteral("progress-visible"), window_model::TaskbarProgressFlag(state) != 0}});
}

bool SetTaskbarProgressValue(std::uint64_t current, std::uint64_t maximum) {
  if (!g_held) return false;
  double fraction =
      maximum == 0 ? 0.0 : static_cast<double>(current) / static_cast<double>(maximum);
  if (fraction > 1.0) fraction = 1.0;
  return SendUpdate(
      {{QStringLiteral("progress"), fraction}, {QStringLiteral("progress-visible"), true}});
}

bool SetTaskbarOverlayIcon(const QIcon&, const QString&) {
  return false;
}

}  // namespace valmeric::desktop
