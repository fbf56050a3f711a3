#include "win32/vista_alt_fix.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>

#include "win32/windows_version.h"

namespace valmeric::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 0x4146;  // "AF"

std::vector<HWND> ProgramWindows() {
  std::vector<HWND> windows;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM list) -> BOOL {
        // Our own windows only: the system's boxes and dialogs draw themselves.
        if (reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)) ==
            GetModuleHandleW(nullptr)) {
          reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

}  // namespace

bool TVistaAltFix::VistaWithTheme() {
  return WindowsAtLeast(6, 0) && IsAppThemed();
}

TVistaAltFix::TVistaAltFix() : active_(VistaWithTheme()) {}

TVistaAltFix::~TVistaAltFix() {
  for (const auto& watcher : forms_) {
    if (IsWindow(watcher->form))
      RemoveWindowSubclass(watcher->form, &TVistaAltFix::WatcherProc, kSubclassId);
  }
}

LRESULT CALLBACK TVistaAltFix::WatcherProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                           UINT_PTR, DWORD_PTR watcher) {
  const LRESULT result = DefSubclassProc(hwnd, message, wparam, lparam);
  if (message == WM_UPDATEUISTATE) reinterpret_cast<TFormObj*>(watcher)->needs_repaint = true;
  if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &TVistaAltFix::WatcherProc, kSubclassId);
  return result;
}

void TVistaAltFix::ApplicationEventsIdle() {
  if (!active_) return;
  for (const auto& watcher : forms_) watcher->seen = false;
  for (HWND window : ProgramWindows()) {
    const auto known = std::find_if(forms_.begin(), forms_.end(),
                                    [window](const auto& w) { return w->form == window; });
    if (known != forms_.end()) {
      (*known)->seen = true;
      continue;
    }
    auto watcher = std::make_unique<TFormObj>(TFormObj{window, true, false});
    SetWindowSubclass(window, &TVistaAltFix::WatcherProc, kSubclassId,
                      reinterpret_cast<DWORD_PTR>(watcher.get()));
    forms_.push_back(std::move(watcher));
  }
  for (auto it = forms_.rbegin(); it != forms_.rend();) {
    TFormObj& watcher = **it;
    if (!watcher.seen) {
      it = decltype(it)(forms_.erase(std::next(it).base()));
      continue;
    }
    if (watcher.needs_repaint) {
      watcher.needs_repaint = false;
      Repaint(watcher);
    }
    ++it;
  }
}

void TVistaAltFix::Repaint(const TFormObj& watcher) const {
  RedrawWindow(watcher.form, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  if (on_repaint_) on_repaint_(watcher.form);
}

}  // namespace valmeric::win32
