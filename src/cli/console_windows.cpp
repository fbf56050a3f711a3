#include <windows.h>

#include <cstdlib>
#include <iostream>
#include <streambuf>

#include "cli/console.h"
#include "common/platform/windows_text.h"

namespace valmeric::cli {
namespace {

std::atomic<bool>* g_interrupted = nullptr;
HANDLE g_finished = nullptr;  // set once the program is on its way out

void SignalFinished() {
  SetEvent(g_finished);
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  g_interrupted->store(true);
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  // A closed console window, a log-off or a shutdown ends the process as soon
  // as this returns: wait (within the system's few seconds) for the run to
  // end cleanly and the program to leave main.
  WaitForSingleObject(g_finished, 4500);
  return TRUE;
}

// Length of text without a UTF-8 character cut off at its end.
size_t WholeCharacters(const std::string& text) {
  size_t end = text.size();
  size_t back = 0;
  while (back < 3 && back < end &&
         (static_cast<unsigned char>(text[end - 1 - back]) & 0xC0) == 0x80)
    ++back;
  if (back == end) return end;
  const auto lead = static_cast<unsigned char>(text[end - 1 - back]);
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return length > back + 1 ? end - 1 - back : end;
}

// A stream buffer that takes UTF-8 and writes it as wide characters to a
// console, or in the console's code page (the system's, when there is no
// console) to a file or pipe.
class ConsoleBuffer final : public std::streambuf {
 public:
  explicit ConsoleBuffer(DWORD which) : handle_(GetStdHandle(which)) {
    DWORD mode = 0;
    console_ = GetConsoleMode(handle_, &mode) != 0;
  }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof()))
      return sync() == 0 ? 0 : traits_type::eof();
    pending_.push_back(traits_type::to_char_type(c));
    if (c == '\n' && sync() != 0) return traits_type::eof();
    return c;
  }

  std::streamsize xsputn(const char* text, std::streamsize n) override {
    pending_.append(text, static_cast<size_t>(n));
    if (pending_.size() >= 4096 || pending_.find('\n') != std::string::npos) {
      if (sync() != 0) return 0;
    }
    return n;
  }

  int sync() override {
    const size_t whole = WholeCharacters(pending_);
    const std::wstring wide = WideFromUtf8(std::string_view(pending_).substr(0, whole));
    pending_.erase(0, whole);
    return wide.empty() || Write(wide) ? 0 : -1;
  }

 private:
  bool Write(const std::wstring& wide) {
    if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) return false;
    if (console_) {
      DWORD written = 0;
      return WriteConsoleW(handle_, wide.data(), static_cast<DWORD>(wide.size()), &written,
                           nullptr) != 0;
    }
    UINT code_page = GetConsoleOutputCP();
    if (code_page == 0) code_page = GetACP();
    const int size = static_cast<int>(wide.size());
    const int n =
        WideCharToMultiByte(code_page, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(code_page, 0, wide.data(), size, bytes.data(), n, nullptr, nullptr);
    for (size_t at = 0; at < bytes.size();) {
      DWORD written = 0;
      if (!WriteFile(handle_, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written,
                     nullptr)) {
        return false;
      }
      at += written;
    }
    return true;
  }

  HANDLE handle_;
  bool console_ = false;
  std::string pending_;
};

}  // namespace

std::vector<std::string> CommandLineArguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; wide && i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  return arguments;
}

void CatchStopRequests(std::atomic<bool>& interrupted) {
  g_interrupted = &interrupted;
  g_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atexit(&SignalFinished);
  SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

void SetUpConsoleText() {
  // Never destroyed: the streams are flushed after every static object is gone.
  std::cout.rdbuf(new ConsoleBuffer(STD_OUTPUT_HANDLE));
  std::cerr.rdbuf(new ConsoleBuffer(STD_ERROR_HANDLE));
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int StandardErrorColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

}  // namespace valmeric::cli
