#pragma once

// The ticks of a selection list as the settings file keeps them: one '1' or
// '0' per item.

#include <string>
#include <string_view>

#include "window_model/selection_group.h"

namespace valmeric::window_model {

// Ticks the items whose position in value holds exactly '1' (no events);
// other characters, positions past the end and characters past the item
// count tick nothing. When every item ends up ticked the all box is set (as a
// click would) and row 0 is highlighted; otherwise the first ticked row, or
// row 0. Returns the number of items ticked.
int ApplyTickText(SelectionGroup& group, std::string_view value);

// One '1' or '0' per item.
std::string TickText(const SelectionGroup& group);

}  // namespace valmeric::window_model
