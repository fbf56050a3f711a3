#pragma once

#include <windows.h>

namespace valmeric::win32 {

// The window's dots per inch (96 on systems that cannot say per window).
UINT WindowDpi(HWND window);
// A length of 96 dpi, at dpi.
int Scale(int pixels, UINT dpi);
// The outer size of a window with style and a client area of width × height.
SIZE OuterSize(DWORD style, DWORD ex_style, int width, int height, UINT dpi);

}  // namespace valmeric::win32
