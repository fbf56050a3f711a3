// Waits for a visible top-level window whose caption starts with PREFIX (up
// to the seconds given, 60 by default), prints its caption and the texts of
// its controls (UTF-8, one a line: "title|..." then "text|..."), and closes it
// as its close button would. Exit code 0 when the window was found, 1 when
// not. For the installer check, which reads the installer's language off its
// pages.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Search {
  std::wstring prefix;
  HWND found = nullptr;
};

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

void Print(const char* kind, const std::wstring& text) {
  const std::string line = std::string(kind) + "|" + Utf8(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
}

BOOL CALLBACK FindTopLevel(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (IsWindowVisible(window) && TextOf(window).rfind(search->prefix, 0) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK PrintChild(HWND window, LPARAM) {
  const std::wstring text = TextOf(window);
  if (IsWindowVisible(window) && !text.empty()) Print("text", text);
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  Search search{argv[1]};
  const int seconds = argc > 2 ? _wtoi(argv[2]) : 60;
  for (int i = 0; i < seconds * 10 && search.found == nullptr; ++i) {
    EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) Sleep(100);
  }
  if (search.found == nullptr) {
    std::printf("no window\n");
    return 1;
  }
  Sleep(500);  // the first page's controls are made after the window shows
  Print("title", TextOf(search.found));
  EnumChildWindows(search.found, &PrintChild, 0);
  std::fflush(stdout);
  PostMessageW(search.found, WM_CLOSE, 0, 0);
  return 0;
}
