#include "test_driver.h"

#include <commctrl.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "win32/frm_main.h"
#include "win32/wide_text.h"
#include "window_model/layout.h"
#include "window_model/selection_ticks.h"

namespace valmeric::win32::test {
namespace {

TestDriver* g_driver = nullptr;

// The window's controls by name, in the order a dump lists them.
constexpr ControlId kDumped[] = {kChkCtgr,   kLstCtgr, kChkArea,   kLstArea, kBtnAction,
                                 kBtnCancel, kPrgBar,  kLblStatus, kBtnArea, kBtnCtgr};

std::vector<std::vector<std::string>> ReadScript() {
  std::vector<std::vector<std::string>> script;
  const wchar_t* path = _wgetenv(L"VALMERIC_TEST_SCRIPT");
  if (path == nullptr) return script;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> words;
    const size_t space = line.find(' ');
    words.push_back(line.substr(0, space));
    // The rest stays whole, so that a path may hold blanks.
    if (space != std::string::npos) {
      std::istringstream rest(line.substr(space + 1));
      std::string word;
      if (words[0] == "save" || words[0] == "save-xlsx" || words[0] == "wait-file") {
        words.push_back(line.substr(space + 1));
      } else {
        while (rest >> word) words.push_back(word);
      }
    }
    script.push_back(std::move(words));
  }
  return script;
}

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return Utf8(text);
}

std::string RectText(HWND window, HWND parent) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
         std::to_string(rect.right - rect.left) + "," + std::to_string(rect.bottom - rect.top);
}

std::string TickText(CheckList& list) {
  std::string ticks;
  for (int i = 0; i < list.Count(); ++i) ticks.push_back(list.Ticked(i) ? '1' : '0');
  return ticks;
}

// A visible dialog of this thread's that the form owns: the system's box.
HWND OwnedDialog(HWND owner) {
  struct Search {
    HWND owner;
    HWND found;
  } search{owner, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM param) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(param);
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (std::wstring(name) != L"#32770" || !IsWindowVisible(window) ||
            GetWindow(window, GW_OWNER) != s.owner)
          return TRUE;
        s.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

long long MillisecondsSinceStart() {
  FILETIME created{}, exited{}, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return (ticks(now) - ticks(created)) / 10000;
}

}  // namespace

TestDriver::TestDriver(TFrmMain& form, ScriptedDialogs& dialogs, TestLog& log)
    : form_(form), dialogs_(dialogs), log_(log), script_(ReadScript()) {
  // Answers at the head of the script are ready before the window shows: the
  // question about an unfinished run comes with the configuration check.
  while (next_ < script_.size() &&
         (script_[next_][0] == "answer" || script_[next_][0].rfind("save", 0) == 0)) {
    Run(script_[next_]);
    log_.Line({"done", script_[next_++][0]});
  }
  g_driver = this;
  timer_ = SetTimer(nullptr, 0, 20, &TestDriver::OnTimer);
}

TestDriver::~TestDriver() {
  KillTimer(nullptr, timer_);
  g_driver = nullptr;
}

void CALLBACK TestDriver::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_driver != nullptr) g_driver->Step();
}

void TestDriver::Step() {
  if (busy_ || form_.hwnd() == nullptr) return;
  busy_ = true;  // a command may pump messages (a box, a repaint): no second step inside it
  if (!ready_logged_ && IsWindowVisible(form_.hwnd())) {
    ready_logged_ = true;
    log_.Line({"shown-ms", std::to_string(MillisecondsSinceStart())});
  }
  // One command a tick: what a command posts is handled before the next one runs.
  if (next_ < script_.size() && Run(script_[next_])) {
    log_.Line({"done", script_[next_][0]});
    if (++next_ == script_.size()) log_.Line({"script-end"});
  }
  busy_ = false;
}

HWND TestDriver::Named(const std::string& name) const {
  for (const ControlSpec& spec : window_model::kControls) {
    if (name == spec.name) return form_.Control(spec.id);
  }
  return nullptr;
}

std::string TestDriver::NameOf(HWND control) const {
  for (const ControlSpec& spec : window_model::kControls) {
    if (form_.Control(spec.id) == control) return spec.name;
  }
  return control == nullptr ? "none" : control == form_.hwnd() ? "form" : "other";
}

bool TestDriver::Run(const std::vector<std::string>& words) {
  const std::string& command = words[0];
  const auto arg = [&words](size_t i) { return i < words.size() ? words[i] : std::string(); };
  const auto& controller = form_.controller();
  if (command == "answer") {
    if (arg(1) == "system") {
      dialogs_.QueueSystemBox();
    } else {
      dialogs_.QueueAnswer(arg(1) == "yes" ? IDYES : IDNO);
    }
  } else if (command == "wait-box" || command == "dismiss-box") {
    HWND box = OwnedDialog(form_.hwnd());
    if (box == nullptr) return false;
    if (command == "dismiss-box") PostMessageW(box, WM_COMMAND, arg(1) == "yes" ? IDYES : IDNO, 0);
  } else if (command == "save" || command == "save-xlsx") {
    dialogs_.QueueFile(SaveChoice{Wide(arg(1)), command == "save-xlsx"});
  } else if (command == "save-cancel") {
    dialogs_.QueueFile(std::nullopt);
  } else if (command == "wait-config") {
    return form_.configChecked();
  } else if (command == "click") {
    SendMessageW(Named(arg(1)), BM_CLICK, 0, 0);
  } else if (command == "press") {
    // Through the message loop, so the script goes on while the handler runs.
    HWND button = Named(arg(1));
    PostMessageW(form_.hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  } else if (command == "wait-rebuilding") {
    return form_.rebuilding();
  } else if (command == "wait-rebuilt") {
    return !form_.rebuilding();
  } else if (command == "wait-text") {
    return WindowText(Named(arg(1))).rfind(arg(2), 0) == 0;
  } else if (command == "tick" || command == "space") {
    const int id = arg(1) == "lstCtgr" ? kLstCtgr : kLstArea;
    CheckList& list = form_.List(id);
    const int row = std::atoi(arg(2).c_str());
    if (command == "tick") {
      RECT client{};
      RECT item{};
      GetClientRect(list.hwnd(), &client);
      SendMessageW(list.hwnd(), LB_GETITEMRECT, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&item));
      // Scrolled into view first, as a user would before clicking.
      if (item.top < 0 || item.bottom > client.bottom)
        SendMessageW(list.hwnd(), LB_SETTOPINDEX, static_cast<WPARAM>(row), 0);
      const POINT at = list.CheckBoxCenter(row);
      SendMessageW(list.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
      SendMessageW(list.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    } else {
      SetFocus(list.hwnd());
      list.SetCurrent(row);
      PostMessageW(list.hwnd(), WM_CHAR, L' ', 0);  // through the loop's dialog keys
    }
  } else if (command == "alt") {
    PostMessageW(GetFocus(), WM_SYSCHAR, static_cast<WPARAM>(arg(1)[0]), 1 << 29);
  } else if (command == "tab") {
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
  } else if (command == "focus") {
    SetFocus(Named(arg(1)));
  } else if (command == "uistate") {
    form_.altFix().OnRepaint([this](HWND) { log_.Line({"altfix-repaint"}); });
    log_.Line({"altfix-active", form_.altFix().Active() ? "1" : "0",
               std::to_string(form_.altFix().Watched())});
    SendMessageW(form_.hwnd(), WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL), 0);
  } else if (command == "wait-running") {
    return controller.running();
  } else if (command == "wait-idle") {
    return !controller.running() && !IsWindowEnabled(Named("btnCancel"));
  } else if (command == "wait-file") {
    return GetFileAttributesW(Wide(arg(1)).c_str()) != INVALID_FILE_ATTRIBUTES;
  } else if (command == "dump") {
    Dump();
  } else if (command == "close") {
    PostMessageW(form_.hwnd(), WM_CLOSE, 0, 0);
  } else {
    log_.Line({"unknown-command", command});
  }
  return true;
}

void TestDriver::Dump() {
  RECT client{};
  GetClientRect(form_.hwnd(), &client);
  log_.Line({"client", std::to_string(client.right), std::to_string(client.bottom)});
  log_.Line({"title", WindowText(form_.hwnd())});
  for (const ControlId id : kDumped) {
    HWND window = form_.Control(id);
    log_.Line({"control", window_model::Control(id).name, WindowText(window),
               RectText(window, form_.hwnd()), IsWindowVisible(window) ? "visible" : "hidden",
               IsWindowEnabled(window) ? "enabled" : "disabled"});
  }
  for (const int box : {kChkCtgr, kChkArea}) {
    log_.Line({"checked", NameOf(form_.Control(box)),
               SendMessageW(form_.Control(box), BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0"});
  }
  for (const int id : {kLstCtgr, kLstArea}) {
    CheckList& list = form_.List(id);
    log_.Line({"ticks", NameOf(list.hwnd()), TickText(list), std::to_string(list.Current())});
  }
  log_.Line({"model", window_model::TickText(form_.categories()),
             window_model::TickText(form_.prefectures()), form_.categories().All() ? "1" : "0",
             form_.prefectures().All() ? "1" : "0"});
  log_.Line({"focus", NameOf(GetFocus())});
  log_.Line({"state", std::to_string(form_.controller().run_state())});
  log_.Line({"progress", std::to_string(SendMessageW(form_.Control(kPrgBar), PBM_GETPOS, 0, 0)),
             std::to_string(SendMessageW(form_.Control(kPrgBar), PBM_GETRANGE, FALSE, 0))});
  log_.Line({"taskbar-ready", form_.taskbarReady() ? "1" : "0"});
  log_.Line({"rebuilding", form_.rebuilding() ? "1" : "0"});
  log_.Line({"output", form_.controller().output_path()});
}

}  // namespace valmeric::win32::test
