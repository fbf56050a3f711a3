#include "win32/check_list.h"

#include <commctrl.h>
#include <imm.h>
#include <uxtheme.h>
#include <vssym32.h>
#include <windowsx.h>

#include "win32/dpi.h"

namespace valmeric::win32 {

CheckList::CheckList(HWND parent, int id, const std::vector<std::wstring>& items, Toggled toggled)
    : list_(CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED |
                                LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                            0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr)),
      toggled_(std::move(toggled)) {
  for (const std::wstring& item : items) {
    SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  }
  ImmAssociateContextEx(list_, nullptr, 0);  // the input method stays closed here
  SetWindowSubclass(list_, &CheckList::Proc, 0, reinterpret_cast<DWORD_PTR>(this));
}

CheckList::~CheckList() {
  RemoveWindowSubclass(list_, &CheckList::Proc, 0);
}

int CheckList::Count() const {
  return static_cast<int>(SendMessageW(list_, LB_GETCOUNT, 0, 0));
}

bool CheckList::Ticked(int index) const {
  return SendMessageW(list_, LB_GETITEMDATA, static_cast<WPARAM>(index), 0) == 1;
}

void CheckList::SetTick(int index, bool ticked) {
  SendMessageW(list_, LB_SETITEMDATA, static_cast<WPARAM>(index), ticked ? 1 : 0);
  RECT row{};
  if (SendMessageW(list_, LB_GETITEMRECT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(&row)) != LB_ERR) {
    InvalidateRect(list_, &row, FALSE);
  }
}

void CheckList::SetCurrent(int row) {
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
}

int CheckList::Current() const {
  return static_cast<int>(SendMessageW(list_, LB_GETCARETINDEX, 0, 0));
}

void CheckList::SetDpi(UINT dpi) {
  box_size_ = Scale(13, dpi);
  margin_ = Scale(2, dpi);
  SendMessageW(list_, LB_SETITEMHEIGHT, 0, Scale(16, dpi));
}

POINT CheckList::CheckBoxCenter(int row) const {
  RECT rect{};
  SendMessageW(list_, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
  return {rect.left + margin_ + box_size_ / 2, (rect.top + rect.bottom) / 2};
}

int CheckList::CheckBoxAt(LPARAM point) const {
  const int x = GET_X_LPARAM(point);
  if (x < 0 || x >= margin_ * 2 + box_size_) return -1;
  const LRESULT hit = SendMessageW(list_, LB_ITEMFROMPOINT, 0, point);
  if (HIWORD(hit) != 0) return -1;  // below the last row
  return LOWORD(hit);
}

void CheckList::Toggle(int index) {
  if (index < 0 || index >= Count()) return;
  const bool ticked = !Ticked(index);
  SetTick(index, ticked);
  if (toggled_) toggled_(index, ticked);
}

LRESULT CALLBACK CheckList::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                 DWORD_PTR self_data) {
  auto* self = reinterpret_cast<CheckList*>(self_data);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      const LRESULT result = DefSubclassProc(hwnd, message, wparam, lparam);  // selects the row
      self->Toggle(self->CheckBoxAt(lparam));
      return result;
    }
    case WM_CHAR:
      if (wparam == L' ') {
        self->Toggle(self->Current());
        return 0;
      }
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

void CheckList::Draw(const DRAWITEMSTRUCT& item) const {
  if (item.itemID == static_cast<UINT>(-1)) return;
  const int index = static_cast<int>(item.itemID);
  HDC dc = item.hDC;
  RECT box = item.rcItem;
  box.left += margin_;
  box.right = box.left + box_size_;
  box.top += (item.rcItem.bottom - item.rcItem.top - box_size_) / 2;
  box.bottom = box.top + box_size_;
  RECT text = item.rcItem;
  text.left = box.right + margin_;

  FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_WINDOW));
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const bool ticked = Ticked(index);
  if (HTHEME theme = OpenThemeData(list_, L"BUTTON")) {
    const int state = ticked ? (disabled ? CBS_CHECKEDDISABLED : CBS_CHECKEDNORMAL)
                             : (disabled ? CBS_UNCHECKEDDISABLED : CBS_UNCHECKEDNORMAL);
    DrawThemeBackground(theme, dc, BP_CHECKBOX, state, &box, nullptr);
    CloseThemeData(theme);
  } else {
    DrawFrameControl(dc, &box, DFC_BUTTON,
                     DFCS_BUTTONCHECK | DFCS_FLAT | (ticked ? DFCS_CHECKED : 0U) |
                         (disabled ? DFCS_INACTIVE : 0U));
  }

  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  if (selected) FillRect(dc, &text, GetSysColorBrush(COLOR_HIGHLIGHT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(disabled   ? COLOR_GRAYTEXT
                               : selected ? COLOR_HIGHLIGHTTEXT
                                          : COLOR_WINDOWTEXT));
  const auto length = SendMessageW(list_, LB_GETTEXTLEN, item.itemID, 0);
  std::wstring label(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  SendMessageW(list_, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(label.data()));
  HGDIOBJ old_font =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list_, WM_GETFONT, 0, 0)));
  RECT inset = text;
  inset.left += margin_;
  DrawTextW(dc, label.c_str(), -1, &inset, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  SelectObject(dc, old_font);
  if ((item.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &text);
}

}  // namespace valmeric::win32
