// Waits for the Valmeric window to appear (up to the seconds given, 30 by
// default), prints its client size and asks it to close as its close button
// would. Exit code 0 when the window was found, 1 when not. For the scripts
// that check an installed or a second program from outside.

#include <windows.h>

#include <cstdio>
#include <cstdlib>

int wmain(int argc, wchar_t** argv) {
  const int seconds = argc > 1 ? _wtoi(argv[1]) : 30;
  for (int i = 0; i < seconds * 10; ++i) {
    HWND window = FindWindowW(L"TFrmMain", L"Valmeric");
    if (window != nullptr && IsWindowVisible(window)) {
      RECT client{};
      GetClientRect(window, &client);
      std::printf("client %ld %ld\n", client.right, client.bottom);
      std::fflush(stdout);
      PostMessageW(window, WM_CLOSE, 0, 0);
      return 0;
    }
    Sleep(100);
  }
  std::printf("no window\n");
  return 1;
}
