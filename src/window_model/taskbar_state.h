#pragma once

// What a window shows on its taskbar button while it runs, and the shell's
// progress flag for each state (ITaskbarList3's TBPF_* values). The Win32
// window hands the flag to the shell; the Qt window shows the progress on its
// launcher entry when the flag is not 0. Header only: the Qt window's desktop
// library takes it without linking the window model.

#include <cstddef>
#include <iterator>

namespace valmeric::window_model {

enum TTaskBarProgressState { tbpsNone, tbpsIndeterminate, tbpsNormal, tbpsError, tbpsPaused };

// By state: TBPF_NOPROGRESS, TBPF_INDETERMINATE, TBPF_NORMAL, TBPF_ERROR, TBPF_PAUSED.
inline constexpr int kTaskbarProgressFlags[] = {0x0, 0x1, 0x2, 0x4, 0x8};

// The taskbar's progress flag for state; 0 for values outside the enum.
constexpr int TaskbarProgressFlag(int state) {
  return state >= 0 && static_cast<std::size_t>(state) < std::size(kTaskbarProgressFlags)
             ? kTaskbarProgressFlags[state]
             : 0;
}

}  // namespace valmeric::window_model
