#include "win32/dpi.h"

namespace valmeric::win32 {
namespace {

// Looked up at run time: Windows 7 has neither function.
template <typename Fn>
Fn User32(const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

UINT WindowDpi(HWND window) {
  static const auto for_window = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  if (for_window != nullptr && window != nullptr) {
    const UINT dpi = for_window(window);
    if (dpi != 0) return dpi;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int Scale(int pixels, UINT dpi) {
  return MulDiv(pixels, static_cast<int>(dpi), 96);
}

SIZE OuterSize(DWORD style, DWORD ex_style, int width, int height, UINT dpi) {
  static const auto adjust =
      User32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  RECT rect{0, 0, Scale(width, dpi), Scale(height, dpi)};
  if (adjust == nullptr || !adjust(&rect, style, FALSE, ex_style, dpi))
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace valmeric::win32
