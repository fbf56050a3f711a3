// The settings file through the system's profile functions, which every
// Windows program reads and writes INI files with.

#include "app/selection_settings.h"

#include <windows.h>

#include <stdexcept>
#include <system_error>

namespace valmeric::app {
namespace {

std::wstring Wide(const char* ascii) {
  return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii));
}

std::string ReadKey(const std::filesystem::path& path, const char* key) {
  wchar_t value[256] = {};
  GetPrivateProfileStringW(Wide(kSettingsSection).c_str(), Wide(key).c_str(), L"", value,
                           static_cast<DWORD>(std::size(value)), path.c_str());
  std::string text;
  for (const wchar_t* c = value; *c != L'\0'; ++c)
    text.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
  return text;
}

void WriteKey(const std::filesystem::path& path, const char* key, const std::string& ticks) {
  const std::wstring value(ticks.begin(), ticks.end());
  if (!WritePrivateProfileStringW(Wide(kSettingsSection).c_str(), Wide(key).c_str(), value.c_str(),
                                  path.c_str())) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

}  // namespace

void LoadSelectionSettings(const std::filesystem::path& path, SelectionGroup& categories,
                           SelectionGroup& prefectures) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    if (categories.Count() > 0) categories.SetCurrent(0);
    if (prefectures.Count() > 0) prefectures.SetCurrent(0);
    return;
  }
  ApplyTickText(categories, ReadKey(path, kCategoryKey));
  ApplyTickText(prefectures, ReadKey(path, kAreaKey));
}

void SaveSelectionSettings(const std::filesystem::path& path, const SelectionGroup& categories,
                           const SelectionGroup& prefectures) {
  std::error_code error;
  if (!std::filesystem::is_directory(path.parent_path(), error)) return;
  WriteKey(path, kCategoryKey, TickText(categories));
  WriteKey(path, kAreaKey, TickText(prefectures));
}

}  // namespace valmeric::app
