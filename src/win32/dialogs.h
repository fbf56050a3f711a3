#pragma once

// Every message box and the save dialog of the window go through Dialogs, so
// that a test build can answer them.

#include <windows.h>

#include <optional>
#include <string>

namespace valmeric::win32 {

struct SaveDialogOptions {
  std::wstring title;
  std::wstring filter_name;       // "CSVファイル": the type offered first
  std::wstring filter_pattern;    // "*.csv"
  std::wstring workbook_name;     // "Excel ブック": the second type
  std::wstring workbook_pattern;  // "*.xlsx"
  std::wstring initial_name;      // a bare file name, no folder
  std::wstring folder;            // where the dialog opens; empty: the system's choice
};

// The file chosen, and whether with the second (the workbook's) type.
struct SaveChoice {
  std::wstring path;
  bool workbook = false;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A modal message box with the system's style flags; returns IDOK, IDYES or IDNO.
  virtual int Ask(HWND owner, const std::wstring& text, const std::wstring& title,
                  unsigned style) = 0;
  // The full path chosen; nothing when the user cancels.
  virtual std::optional<SaveChoice> ChooseSaveFile(HWND owner,
                                                   const SaveDialogOptions& options) = 0;
};

// MessageBoxW and the system's save dialog.
class SystemDialogs final : public Dialogs {
 public:
  int Ask(HWND owner, const std::wstring& text, const std::wstring& title, unsigned style) override;
  std::optional<SaveChoice> ChooseSaveFile(HWND owner, const SaveDialogOptions& options) override;
};

}  // namespace valmeric::win32
