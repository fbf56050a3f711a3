#include "win32/dialogs.h"

#include <commdlg.h>

#include <vector>

namespace valmeric::win32 {

int SystemDialogs::Ask(HWND owner, const std::wstring& text, const std::wstring& title,
                       unsigned style) {
  return MessageBoxW(owner, text.c_str(), title.c_str(), style);
}

std::optional<SaveChoice> SystemDialogs::ChooseSaveFile(HWND owner,
                                                        const SaveDialogOptions& options) {
  // "name (pattern)\0pattern\0" for each type, then a second \0 (c_str's).
  std::wstring filter;
  for (const auto& [name, pattern] : {std::pair{options.filter_name, options.filter_pattern},
                                      std::pair{options.workbook_name, options.workbook_pattern}}) {
    filter += name + L" (" + pattern + L")";
    filter.push_back(L'\0');
    filter += pattern;
    filter.push_back(L'\0');
  }

  std::vector<wchar_t> file(32768, L'\0');
  options.initial_name.copy(file.data(), file.size() - 1);

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrTitle = options.title.c_str();
  dialog.lpstrInitialDir = options.folder.empty() ? nullptr : options.folder.c_str();
  // Resizable, no read-only box, a question before replacing; no default
  // extension: the run completes ".csv" itself.
  dialog.Flags =
      OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  return SaveChoice{std::wstring(file.data()), dialog.nFilterIndex == 2};
}

}  // namespace valmeric::win32
