#include "win32/frm_main.h"

#include <commctrl.h>

#include <system_error>

#include "common/network/site_lists.h"
#include "common/text/text_encoding.h"
#include "messages/user_messages.h"
#include "win32/documents_folder.h"
#include "win32/dpi.h"
#include "win32/wide_text.h"
#include "window_model/error_text.h"
#include "window_model/guarded_call.h"

namespace valmeric::win32 {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kWindowClass[] = L"TFrmMain";
constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

template <size_t N>
std::vector<std::wstring> WideItems(const std::array<std::string_view, N>& names) {
  std::vector<std::wstring> items;
  for (const std::string_view name : names) items.push_back(Wide(name));
  return items;
}

void RegisterWindowClass(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kWindowClass;
    return RegisterClassExW(&window_class) != 0;
  }();
  (void)registered;
}

HFONT MakeFont(int height, UINT dpi) {
  return CreateFontW(Scale(height, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, Wide(kFontFace).c_str());
}

HWND MakeControl(HWND parent, const wchar_t* window_class, const std::string& text, DWORD style,
                 int id) {
  return CreateWindowExW(0, window_class, Wide(text).c_str(), WS_CHILD | style, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleW(nullptr), nullptr);
}

void Place(HWND control, const ControlRect& rect, UINT dpi) {
  SetWindowPos(control, nullptr, Scale(rect.left, dpi), Scale(rect.top, dpi),
               Scale(rect.width, dpi), Scale(rect.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

template <typename Fn>
void TFrmMain::Guarded(Fn&& fn) {
  GuardedCall(std::forward<Fn>(fn),
              [this](const std::string& message) { ShowDefaultError(message); });
}

TFrmMain::TFrmMain(Dialogs& dialogs, TaskbarButton& taskbar, fs::path database_path,
                   RunSettings settings)
    : dialogs_(dialogs),
      taskbar_(taskbar),
      model_(std::move(database_path)),
      save_folder_(DocumentsFolder()),
      status_color_(GetSysColor(COLOR_WINDOWTEXT)),
      controller_(*this, model_.database_path(), std::move(settings),
                  [this] {
                    if (HWND window = news_window_.load()) PostMessageW(window, WM_RUNNEWS, 0, 0);
                  }),
      rebuilder_(model_.database_path(), controller_.settings().download, [this] {
        if (HWND window = news_window_.load()) PostMessageW(window, WM_REBUILDNEWS, 0, 0);
      }) {
  RegisterWindowClass(&TFrmMain::WndProc);
  const SIZE outer = OuterSize(kWindowStyle, kWindowExStyle, kClientWidth, kClientHeight, 96);
  CreateWindowExW(kWindowExStyle, kWindowClass, Wide(msg::kApplicationTitle).c_str(), kWindowStyle,
                  0, 0, outer.cx, outer.cy, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (hwnd_ == nullptr)
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category());
  news_window_ = hwnd_;
}

TFrmMain::~TFrmMain() {
  news_window_ = nullptr;  // a worker still stopping or a rebuild has nowhere to post to
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (window_font_ != nullptr) DeleteObject(window_font_);
  if (list_font_ != nullptr) DeleteObject(list_font_);
}

void TFrmMain::Show(int show_command) {
  ShowWindow(hwnd_, show_command);
  UpdateWindow(hwnd_);
}

LRESULT CALLBACK TFrmMain::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TFrmMain*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TFrmMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return self->Handle(message, wparam, lparam);
}

LRESULT TFrmMain::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      try {
        CreateControls();
        FormCreate();
      } catch (...) {
        return -1;  // no window: the constructor reports it
      }
      return 0;
    case WM_SHOWWINDOW:
      // Shown by the program (not restored from an icon): check the configuration next.
      if (wparam != 0 && lparam == 0) PostMessageW(hwnd_, WM_CHECKCONFIG, 0, 0);
      break;
    case WM_CHECKCONFIG:
      Guarded([this] { CheckConfig(); });
      return 0;
    case WM_RUNNEWS:
      Guarded([this] { controller_.Poll(); });
      return 0;
    case WM_REBUILDNEWS:
      Guarded([this] { rebuilder_.Poll(); });
      return 0;
    case WM_COMMAND:
      if (HandleCommand(LOWORD(wparam), HIWORD(wparam))) return 0;
      break;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item.CtlID == kLstCtgr || item.CtlID == kLstArea) {
        List(static_cast<int>(item.CtlID)).Draw(item);
        return TRUE;
      }
      break;
    }
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lparam)->itemHeight =
          static_cast<UINT>(Scale(kListRowHeight, dpi_));
      return TRUE;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lparam) == Control(kLblStatus)) {
        auto dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc, status_color_);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_SETCURSOR:
      if (busy_cursor_) {
        SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
        return TRUE;
      }
      break;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      ApplyLayout(LOWORD(wparam));
      return 0;
    }
    case WM_CLOSE: {
      // The window stays until a table rebuild has ended: it holds the database.
      if (rebuilder_.running()) return 0;
      bool may_close = false;
      Guarded([&] { may_close = controller_.CloseQuery(); });
      if (may_close) DestroyWindow(hwnd_);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

bool TFrmMain::HandleCommand(int id, int code) {
  if (code != BN_CLICKED) return false;
  const auto checked = [this](int box) {
    return SendMessageW(Control(box), BM_GETCHECK, 0, 0) == BST_CHECKED;
  };
  switch (id) {
    case kChkCtgr:
      Guarded([&] { categories().ClickAll(checked(kChkCtgr)); });
      return true;
    case kChkArea:
      Guarded([&] { prefectures().ClickAll(checked(kChkArea)); });
      return true;
    case kBtnAction:
      Guarded([this] { controller_.ActionClick(); });
      return true;
    case kBtnCancel:
      Guarded([this] { controller_.CancelClick(); });
      return true;
    case kBtnArea:
      Guarded([this] { btnAreaClick(); });
      return true;
    case kBtnCtgr:
      Guarded([this] { btnCtgrClick(); });
      return true;
    default:
      return false;
  }
}

void TFrmMain::CreateControls() {
  for (const ControlSpec& spec : kControls) {  // in tab order
    const DWORD shown = spec.shown ? WS_VISIBLE : 0;
    const DWORD disabled = spec.enabled ? 0 : WS_DISABLED;
    switch (spec.kind) {
      case ControlKind::kCheckBox:
        MakeControl(hwnd_, WC_BUTTONW, spec.caption,
                    shown | disabled | WS_TABSTOP | BS_AUTOCHECKBOX, spec.id);
        break;
      case ControlKind::kCheckList:
        if (spec.id == kLstCtgr) {
          lstCtgr_ = std::make_unique<CheckList>(
              hwnd_, kLstCtgr, WideItems(kCategoryNamesUtf8), [this](int row, bool ticked) {
                Guarded([&] { categories().ItemToggled(row, ticked); });
              });
        } else {
          lstArea_ = std::make_unique<CheckList>(
              hwnd_, kLstArea, WideItems(kPrefectureNamesUtf8), [this](int row, bool ticked) {
                Guarded([&] { prefectures().ItemToggled(row, ticked); });
              });
        }
        break;
      case ControlKind::kButton:
        MakeControl(hwnd_, WC_BUTTONW, spec.caption, shown | disabled | WS_TABSTOP | BS_PUSHBUTTON,
                    spec.id);
        break;
      case ControlKind::kProgressBar:
        MakeControl(hwnd_, PROGRESS_CLASSW, "", shown | disabled, spec.id);
        break;
      case ControlKind::kLabel:
        MakeControl(hwnd_, WC_STATICW, "", shown | disabled | SS_RIGHT | SS_NOPREFIX, spec.id);
        break;
    }
  }

  BindGroup(categories(), kChkCtgr, *lstCtgr_);
  BindGroup(prefectures(), kChkArea, *lstArea_);
  BindRebuilder();
  ApplyLayout(WindowDpi(hwnd_));
  SetStatusText(Wide(kStatusInitialText));
}

void TFrmMain::ApplyLayout(UINT dpi) {
  dpi_ = dpi;
  HFONT old_window_font = window_font_;
  HFONT old_list_font = list_font_;
  window_font_ = MakeFont(kWindowFontHeight, dpi);
  list_font_ = MakeFont(kListFontHeight, dpi);
  const SIZE outer = OuterSize(kWindowStyle, kWindowExStyle, kClientWidth, kClientHeight, dpi);
  SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  for (const ControlSpec& spec : kControls) {
    // The status label is placed by SetStatusText, sized to its text.
    if (spec.kind != ControlKind::kLabel) Place(Control(spec.id), spec.rect, dpi);
    const bool list = spec.kind == ControlKind::kCheckList;
    SendMessageW(Control(spec.id), WM_SETFONT,
                 reinterpret_cast<WPARAM>(list ? list_font_ : window_font_), TRUE);
  }
  lstCtgr_->SetDpi(dpi);
  lstArea_->SetDpi(dpi);
  SetStatusText(status_text_);
  if (old_window_font != nullptr) DeleteObject(old_window_font);
  if (old_list_font != nullptr) DeleteObject(old_list_font);
}

void TFrmMain::BindGroup(SelectionGroup& group, int all_box, CheckList& list) {
  SelectionGroup::View view;
  view.show_tick = [&list](int index, bool ticked) { list.SetTick(index, ticked); };
  // Setting the box by program sends no click, so ClickAll is not run again.
  view.show_all = [this, all_box](bool all) {
    SendMessageW(Control(all_box), BM_SETCHECK, all ? BST_CHECKED : BST_UNCHECKED, 0);
  };
  view.show_current = [&list](int row) { list.SetCurrent(row); };
  view.focus_list = [&list] { SetFocus(list.hwnd()); };
  group.Bind(std::move(view));
}

void TFrmMain::BindRebuilder() {
  TableRebuilder::View view;
  view.show_status = [this](const std::string& text) {
    SetStatusText(Wide(text));
    UpdateWindow(Control(kLblStatus));
  };
  view.show_message = [this](const UserMessage& message) { ShowMessage(message); };
  rebuilder_.Bind(std::move(view));
}

void TFrmMain::FormCreate() {
  TaskbarReady = false;
  if (TaskbarSupported()) TaskbarReady = taskbar_.InitializeTaskbarAPI();
  model_.FindDatabase();
}

void TFrmMain::CheckConfig() {
  config_checked_ = true;
  if (!model_.CheckConfig(controller_, *this)) Terminate();
}

void TFrmMain::SaveSettings() {
  model_.SaveSettings();
}

void TFrmMain::Terminate() {
  ShowWindow(hwnd_, SW_HIDE);
  PostQuitMessage(0);
}

void TFrmMain::ShowDefaultError(const std::string& message) {
  dialogs_.Ask(hwnd_, Wide(ErrorDisplayText(message)), Wide(msg::kApplicationTitle),
               MB_OK | MB_ICONSTOP);
}

void TFrmMain::SetStatusText(const std::wstring& text) {
  status_text_ = text;
  HWND label = Control(kLblStatus);
  SetWindowTextW(label, text.c_str());
  // Sized to its text with the right edge kept in place: longer texts grow to the left.
  SIZE extent{0, 0};
  HDC dc = GetDC(label);
  HGDIOBJ old_font = SelectObject(dc, window_font_);
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old_font);
  ReleaseDC(label, dc);
  RECT old_place{};
  GetWindowRect(label, &old_place);
  MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&old_place), 2);
  const int right = Scale(kStatusRight, dpi_);
  SetWindowPos(label, nullptr, right - extent.cx, Scale(kStatusTop, dpi_), extent.cx,
               metrics.tmHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd_, &old_place, TRUE);  // what a shorter text leaves uncovered
  InvalidateRect(label, nullptr, TRUE);
}

void TFrmMain::SetControlsEnabled(bool idle) {
  for (const int id : {kChkArea, kChkCtgr, kLstArea, kLstCtgr, kBtnAction})
    EnableWindow(Control(id), idle);
  EnableWindow(Control(kBtnCancel), !idle);
  // A control that has just been disabled cannot keep the keyboard.
  HWND focus = GetFocus();
  if (focus == nullptr || !IsWindowEnabled(focus))
    SetFocus(Control(idle ? kBtnAction : kBtnCancel));
}

}  // namespace valmeric::win32
