#pragma once

// Themed controls can be left undrawn after a window has processed a UI-state
// change (WM_UPDATEUISTATE: pressing Alt shows the keyboard accelerators).
// TVistaAltFix watches every top-level window of this program on the UI
// thread and repaints its controls at the next idle moment after such a
// change. It stays inert before Vista and without visual themes.

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

namespace valmeric::win32 {

class TVistaAltFix final {
 public:
  TVistaAltFix();
  // Every watched window gets its own procedure back: none is left calling
  // into a freed watcher.
  ~TVistaAltFix();
  TVistaAltFix(const TVistaAltFix&) = delete;
  TVistaAltFix& operator=(const TVistaAltFix&) = delete;

  bool Active() const { return active_; }
  // Windows watched since the last idle pass.
  size_t Watched() const { return forms_.size(); }
  static bool VistaWithTheme();

  // The idle pass: watches new windows, forgets destroyed ones, and repaints
  // those that changed their UI state since the last pass.
  void ApplicationEventsIdle();
  // Told of each repaint (for tests).
  void OnRepaint(std::function<void(HWND)> hook) { on_repaint_ = std::move(hook); }

 private:
  struct TFormObj {
    HWND form;
    bool seen = true;
    bool needs_repaint = false;
  };
  static LRESULT CALLBACK WatcherProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                      UINT_PTR id, DWORD_PTR watcher);
  void Repaint(const TFormObj& watcher) const;

  bool active_ = false;
  std::vector<std::unique_ptr<TFormObj>> forms_;
  std::function<void(HWND)> on_repaint_;
};

}  // namespace valmeric::win32
