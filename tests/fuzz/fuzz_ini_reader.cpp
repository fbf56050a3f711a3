// Arbitrary bytes as the settings file: read the ticks, write them back, and
// read the written file again.

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/network/site_lists.h"
#include "window_model/ini_file.h"
#include "window_model/selection_group.h"
#include "window_model/selection_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace valmeric::window_model;
  const std::string text(reinterpret_cast<const char*>(data), size);
  IniFile ini = IniFile::Parse(text);
  SelectionGroup categories(valmeric::CategoryNames());
  ApplyTickText(categories, ini.ReadString(kSettingsSection, kCategoryKey, ""));
  const std::string ticks = TickText(categories);
  // Always the normalised form, and the all box agrees with the ticks.
  if (static_cast<int>(ticks.size()) != categories.Count()) __builtin_trap();
  if (categories.All() != (ticks.find('0') == std::string::npos)) __builtin_trap();
  // What is written is read back unchanged, whatever else the file holds.
  ini.WriteString(kSettingsSection, kCategoryKey, ticks);
  const IniFile again = IniFile::Parse(ini.Text());
  if (again.ReadString(kSettingsSection, kCategoryKey, "") != ticks) __builtin_trap();
  return 0;
}
