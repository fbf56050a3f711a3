#include "window_model/selection_ticks.h"

namespace valmeric::window_model {

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

}  // namespace valmeric::window_model
