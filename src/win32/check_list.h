#pragma once

// A list of items with a check box each (an owner-drawn list box of fixed row
// height): a click on the box or the space key toggles the tick of a row and
// reports it; ticks set by the program report nothing.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace valmeric::win32 {

class CheckList final {
 public:
  using Toggled = std::function<void(int index, bool ticked)>;

  CheckList(HWND parent, int id, const std::vector<std::wstring>& items, Toggled toggled);
  ~CheckList();
  CheckList(const CheckList&) = delete;
  CheckList& operator=(const CheckList&) = delete;

  HWND hwnd() const { return list_; }
  int Count() const;
  bool Ticked(int index) const;
  void SetTick(int index, bool ticked);
  // Highlights row and makes it the row the keyboard acts on.
  void SetCurrent(int row);
  int Current() const;
  // Row height and check box size at dpi.
  void SetDpi(UINT dpi);
  // Where a click toggles row: the middle of its check box, in list coordinates.
  POINT CheckBoxCenter(int row) const;
  // The parent's WM_DRAWITEM for this list.
  void Draw(const DRAWITEMSTRUCT& item) const;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                               DWORD_PTR self);
  // The row of a click on a check box, or -1.
  int CheckBoxAt(LPARAM point) const;
  void Toggle(int index);

  HWND list_;
  Toggled toggled_;
  int box_size_ = 13;
  int margin_ = 2;
};

}  // namespace valmeric::win32
