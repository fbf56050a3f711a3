#pragma once

// The main window's controls: identifiers, and where they lie at 96 dpi
// (left, top, width, height inside the client area).

namespace valmeric::win32 {

struct ControlRect {
  int left;
  int top;
  int width;
  int height;
};

enum ControlId : int {
  kChkCtgr = 101,
  kLstCtgr,
  kChkArea,
  kLstArea,
  kBtnAction,
  kBtnCancel,
  kPrgBar,
  kBtnArea,
  kBtnCtgr,
  kLblStatus,
};

inline constexpr int kClientWidth = 316;
inline constexpr int kClientHeight = 303;

inline constexpr ControlRect kChkCtgrRect{11, 8, 119, 17};
inline constexpr ControlRect kLstCtgrRect{8, 28, 145, 164};
inline constexpr ControlRect kChkAreaRect{165, 8, 119, 17};
inline constexpr ControlRect kLstAreaRect{162, 28, 145, 244};
inline constexpr ControlRect kBtnActionRect{8, 202, 145, 32};
inline constexpr ControlRect kBtnCancelRect{8, 236, 145, 32};
inline constexpr ControlRect kPrgBarRect{0, 288, kClientWidth, 15};  // along the bottom edge
inline constexpr ControlRect kBtnAreaRect{238, -10, 30, 20};
inline constexpr ControlRect kBtnCtgrRect{269, -10, 30, 20};
// The status label is sized to its text; its right edge stays here.
inline constexpr int kStatusRight = 304;
inline constexpr int kStatusTop = 275;

// Font heights in pixels (negative: the character height) and the list rows.
inline constexpr int kWindowFontHeight = -12;
inline constexpr int kListFontHeight = -13;
inline constexpr int kListRowHeight = 16;

}  // namespace valmeric::win32
