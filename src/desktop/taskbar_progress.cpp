#include "desktop/taskbar_progress.h"

#include <QIcon>
#include <QString>

#ifdef _WIN32
#include <shobjidl.h>
#include <windows.h>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QWindow>
#else
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>
#endif

namespace valmeric::desktop {

int TaskbarProgressFlag(int state) {
  switch (state) {
    case tbpsIndeterminate:
      return 1;
    case tbpsNormal:
      return 2;
    case tbpsError:
      return 4;
    case tbpsPaused:
      return 8;
    default:
      return 0;
  }
}

#ifdef _WIN32

namespace {

ITaskbarList3* g_taskbar = nullptr;

// The window that owns the program's taskbar button.
HWND TargetWindow() {
  const auto windows = QGuiApplication::topLevelWindows();
  for (QWindow* window : windows) {
    if (window->isVisible() && window->transientParent() == nullptr) {
      return reinterpret_cast<HWND>(window->winId());
    }
  }
  return nullptr;
}

}  // namespace

bool InitializeTaskbarAPI() {
  if (g_taskbar != nullptr) return true;
  try {
    ITaskbarList3* list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&list)))) {
      return false;
    }
    if (list->HrInit() != S_OK) {
      list->Release();
      return false;
    }
    g_taskbar = list;
  } catch (...) {
    return false;
  }
  return true;
}

bool SetTaskbarProgressState(TTaskBarProgressState state) {
  if (g_taskbar == nullptr) return false;
  return g_taskbar->SetProgressState(TargetWindow(),
                                     static_cast<TBPFLAG>(TaskbarProgressFlag(state))) == S_OK;
}

bool SetTaskbarProgressValue(std::uint64_t current, std::uint64_t maximum) {
  if (g_taskbar == nullptr) return false;
  return g_taskbar->SetProgressValue(TargetWindow(), current, maximum) == S_OK;
}

bool SetTaskbarOverlayIcon(const QIcon& icon, const QString& description) {
  if (g_taskbar == nullptr) return false;
  HICON handle = icon.isNull() ? nullptr : icon.pixmap(16, 16).toImage().toHICON();
  const bool ok = g_taskbar->SetOverlayIcon(TargetWindow(), handle,
                                            reinterpret_cast<LPCWSTR>(description.utf16())) == S_OK;
  if (handle != nullptr) DestroyIcon(handle);
  return ok;
}

#else

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
  return SendUpdate({{QStringLiteral("progress-visible"), TaskbarProgressFlag(state) != 0}});
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

#endif

}  // namespace valmeric::desktop
