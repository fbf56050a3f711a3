#pragma once

// The main window's controls as both windows lay them out: identifiers,
// names, captions, and where they lie at 96 dpi (left, top, width, height
// inside the client area). Captions are UTF-8.

namespace valmeric::window_model {

struct ControlRect {
  int left;
  int top;
  int width;
  int height;
  bool operator==(const ControlRect&) const = default;
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

enum class ControlKind { kCheckBox, kCheckList, kButton, kProgressBar, kLabel };

struct ControlSpec {
  ControlId id;
  const char* name;  // the control's object name
  ControlKind kind;
  ControlRect rect;
  const char* caption;
  bool shown;
  bool enabled;
};

inline constexpr int kClientWidth = 316;
inline constexpr int kClientHeight = 303;

// The status label is sized to its text; its right edge stays here.
inline constexpr int kStatusRight = 304;
inline constexpr int kStatusTop = 275;
// Two ideographic spaces: the label's text before the first run.
inline constexpr char kStatusInitialText[] = "\u3000\u3000";

// In tab order; the status label, outside it, comes last. The table
// builders' buttons lie above the client area and are never shown.
inline constexpr ControlSpec kControls[] = {
    {kChkCtgr,
     "chkCtgr",
     ControlKind::kCheckBox,
     {11, 8, 119, 17},
     " 診療科目の選択 : ",
     true,
     true},
    {kLstCtgr, "lstCtgr", ControlKind::kCheckList, {8, 28, 145, 164}, "", true, true},
    {kChkArea,
     "chkArea",
     ControlKind::kCheckBox,
     {165, 8, 119, 17},
     " 都道府県の選択 : ",
     true,
     true},
    {kLstArea, "lstArea", ControlKind::kCheckList, {162, 28, 145, 244}, "", true, true},
    {kBtnAction, "btnAction", ControlKind::kButton, {8, 202, 145, 32}, "取得開始 (&R)", true, true},
    {kBtnCancel,
     "btnCancel",
     ControlKind::kButton,
     {8, 236, 145, 32},
     "キャンセル (&C)",
     true,
     false},
    // Along the bottom edge, the whole width.
    {kPrgBar, "prgBar", ControlKind::kProgressBar, {0, 288, kClientWidth, 15}, "", true, true},
    {kBtnArea, "btnArea", ControlKind::kButton, {238, -10, 30, 20}, "地域", false, false},
    {kBtnCtgr, "btnCtgr", ControlKind::kButton, {269, -10, 30, 20}, "科目", false, false},
    {kLblStatus,
     "lblStatus",
     ControlKind::kLabel,
     {kStatusRight - 16, kStatusTop, 16, 12},
     kStatusInitialText,
     true,
     true},
};

// The entry of id; every ControlId has one.
const ControlSpec& Control(ControlId id);

// Where the status label goes for a text of this extent: its right edge at
// kStatusRight, so that longer texts grow to the left.
ControlRect StatusLabelRect(int text_width, int text_height);

// Font heights in pixels (negative: the character height) and the list rows.
inline constexpr char kFontFace[] = "ＭＳ Ｐゴシック";
inline constexpr int kWindowFontHeight = -12;
inline constexpr int kListFontHeight = -13;
inline constexpr int kListRowHeight = 16;

}  // namespace valmeric::window_model
