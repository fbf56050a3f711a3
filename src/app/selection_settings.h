#pragma once

// The ticks of the two selection lists, kept in db/hpt.ini: section "Config",
// key "Category" with one "1" or "0" per category and key "Area" with one per
// prefecture.

#include <filesystem>
#include <string>
#include <string_view>

#include "app/selection_group.h"

namespace valmeric::app {

inline constexpr char kSettingsSection[] = "Config";
inline constexpr char kCategoryKey[] = "Category";
inline constexpr char kAreaKey[] = "Area";
inline constexpr char kSettingsFileName[] = "hpt.ini";

// Ticks the items whose position in value holds exactly '1' (no events);
// other characters, positions past the end and characters past the item
// count tick nothing. When every item ends up ticked the all box is set (as a
// click would) and row 0 is highlighted; otherwise the first ticked row, or
// row 0. Returns the number of items ticked.
int ApplyTickText(SelectionGroup& group, std::string_view value);

// One '1' or '0' per item.
std::string TickText(const SelectionGroup& group);

// Reads both keys from the file at path; without a file only row 0 of each
// list is highlighted.
void LoadSelectionSettings(const std::filesystem::path& path, SelectionGroup& categories,
                           SelectionGroup& prefectures);

// Writes both keys; does nothing when the file's folder does not exist.
// Throws std::runtime_error when the file cannot be written.
void SaveSelectionSettings(const std::filesystem::path& path, const SelectionGroup& categories,
                           const SelectionGroup& prefectures);

}  // namespace valmeric::app
