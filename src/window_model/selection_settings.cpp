#include "window_model/selection_settings.h"

#include <system_error>

#include "window_model/ini_file.h"

namespace valmeric::window_model {

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

}  // namespace valmeric::window_model
