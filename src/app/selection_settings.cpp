#include "app/selection_settings.h"

#include <system_error>

#include "app/ini_file.h"

namespace valmeric::app {

int ApplyTickText(SelectionGroup& group, std::string_view value) {
  int ticked = 0;
  if (!value.empty()) {
    for (int i = 0; i < group.Count(); ++i) {
      if (static_cast<size_t>(i) < value.size() && value[static_cast<size_t>(i)] == '1') {
        group.SetTick(i, true);
        ++ticked;
      }
    }
  }
  if (group.Count() > 0 && ticked == group.Count()) {
    group.SetAll(true);
    group.SetCurrent(0);
  } else if (group.Count() > 0) {
    const int first = group.FirstTicked();
    group.SetCurrent(first >= 0 ? first : 0);
  }
  return ticked;
}

std::string TickText(const SelectionGroup& group) {
  std::string text;
  for (int i = 0; i < group.Count(); ++i) text.push_back(group.IsTicked(i) ? '1' : '0');
  return text;
}

void LoadSelectionSettings(const std::filesystem::path& path, SelectionGroup& categories,
                           SelectionGroup& prefectures) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    if (categories.Count() > 0) categories.SetCurrent(0);
    if (prefectures.Count() > 0) prefectures.SetCurrent(0);
    return;
  }
  const IniFile file = IniFile::Load(path);
  ApplyTickText(categories, file.ReadString(kSettingsSection, kCategoryKey, ""));
  ApplyTickText(prefectures, file.ReadString(kSettingsSection, kAreaKey, ""));
}

void SaveSelectionSettings(const std::filesystem::path& path, const SelectionGroup& categories,
                           const SelectionGroup& prefectures) {
  std::error_code error;
  if (!std::filesystem::is_directory(path.parent_path(), error)) return;
  IniFile file = IniFile::Load(path);
  file.WriteString(kSettingsSection, kCategoryKey, TickText(categories));
  file.WriteString(kSettingsSection, kAreaKey, TickText(prefectures));
  file.Save(path);
}

}  // namespace valmeric::app
