#include "scripted_dialogs.h"

#include <cstdio>

#include "win32/wide_text.h"

namespace valmeric::win32::test {

int ScriptedDialogs::Ask(HWND owner, const std::wstring& text, const std::wstring& title,
                         unsigned style) {
  char flags[16];
  std::snprintf(flags, sizeof flags, "0x%x", style);
  log_.Line({"box", flags, Utf8(title), Utf8(text), owner != nullptr ? "owned" : "unowned"});
  if ((style & 0xF) != MB_YESNO) return IDOK;
  if (answers_.empty()) {
    log_.Line({"unexpected-question", Utf8(text)});
    return IDNO;
  }
  const int answer = answers_.front();
  answers_.pop_front();
  if (answer == kSystemBox) {
    const int given = MessageBoxW(owner, text.c_str(), title.c_str(), style);
    log_.Line({"system-box-answer", given == IDYES ? "yes" : "no"});
    return given;
  }
  return answer;
}

std::optional<SaveChoice> ScriptedDialogs::ChooseSaveFile(HWND, const SaveDialogOptions& options) {
  log_.Line({"save", Utf8(options.title),
             Utf8(options.filter_name + L" (" + options.filter_pattern + L");" +
                  options.workbook_name + L" (" + options.workbook_pattern + L")"),
             Utf8(options.initial_name), Utf8(options.folder)});
  if (files_.empty()) {
    log_.Line({"unexpected-save"});
    return std::nullopt;
  }
  auto chosen = std::move(files_.front());
  files_.pop_front();
  return chosen;
}

}  // namespace valmeric::win32::test
