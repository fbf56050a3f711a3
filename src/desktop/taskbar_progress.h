#pragma once

// Run progress on the program's taskbar button. It goes out as the
// launcher-entry signal of the session bus, which docks and task bars (KDE,
// Dash to Dock, Plank and others) show on the button of valmeric.desktop.
// (The Win32 window reaches the shell's taskbar list itself.) Main thread only.

#include <cstdint>

#include "window_model/taskbar_state.h"

class QIcon;
class QString;

namespace valmeric::desktop {

using window_model::TTaskBarProgressState;

// The launcher entry the signals name, and where they come from.
inline constexpr char kLauncherAppUri[] = "application://valmeric.desktop";
inline constexpr char kLauncherInterface[] = "com.canonical.Unity.LauncherEntry";
inline constexpr char kLauncherMember[] = "Update";
inline constexpr char kLauncherObjectPath[] = "/com/canonical/unity/launcherentry/valmeric";

// Takes hold of the taskbar (on Linux: the session bus) once; true while held.
// A failure is not retried and shows nothing.
bool InitializeTaskbarAPI();
// Each returns false when the taskbar is not held or the call failed.
bool SetTaskbarProgressState(TTaskBarProgressState state);
bool SetTaskbarProgressValue(std::uint64_t current, std::uint64_t maximum);
// The launcher entry has no overlay icon: on Linux this always returns false.
bool SetTaskbarOverlayIcon(const QIcon& icon, const QString& description);

}  // namespace valmeric::desktop
