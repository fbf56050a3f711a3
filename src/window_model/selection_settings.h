#pragma once

// The ticks of the two selection lists, kept in db/hpt.ini: section "Config",
// key "Category" with one "1" or "0" per category and key "Area" with one per
// prefecture.

#include <filesystem>

#include "window_model/selection_group.h"
#include "window_model/selection_ticks.h"

namespace valmeric::window_model {

inline constexpr char kSettingsSection[] = "Config";
inline constexpr char kCategoryKey[] = "Category";
inline constexpr char kAreaKey[] = "Area";
inline constexpr char kSettingsFileName[] = "hpt.ini";

// Reads both keys from the file at path; without a file only row 0 of each
// list is highlighted.
void LoadSelectionSettings(const std::filesystem::path& path, SelectionGroup& categories,
                           SelectionGroup& prefectures);

// Writes both keys; does nothing when the file's folder does not exist.
// Throws std::runtime_error when the file cannot be written.
void SaveSelectionSettings(const std::filesystem::path& path, const SelectionGroup& categories,
                           const SelectionGroup& prefectures);

}  // namespace valmeric::window_model
