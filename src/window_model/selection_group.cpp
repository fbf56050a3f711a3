#include "window_model/selection_group.h"

#include <stdexcept>

namespace valmeric::window_model {

SelectionGroup::SelectionGroup(std::vector<std::string> items)
    : items_(std::move(items)), ticks_(items_.size(), false) {}

int SelectionGroup::FirstTicked() const {
  for (int i = 0; i < Count(); ++i) {
    if (ticks_[static_cast<size_t>(i)]) return i;
  }
  return -1;
}

std::vector<int> SelectionGroup::TickedCodes() const {
  std::vector<int> codes;
  for (int i = 0; i < Count(); ++i) {
    if (ticks_[static_cast<size_t>(i)]) codes.push_back(i + 1);
  }
  return codes;
}

bool SelectionGroup::EveryItemTicked() const {
  for (const bool tick : ticks_) {
    if (!tick) return false;
  }
  return true;
}

void SelectionGroup::ShowAll() {
  if (view_.show_all) view_.show_all(all_);
}

void SelectionGroup::ClickAll(bool value) {
  all_ = value;
  ShowAll();
  for (int i = 0; i < Count(); ++i) SetTick(i, value);
  if (Count() > 0 && view_.focus_list) view_.focus_list();
}

void SelectionGroup::ItemToggled(int index, bool value) {
  ticks_.at(static_cast<size_t>(index)) = value;
  // Only the all box moves here; ClickAll would overwrite the user's ticks.
  const bool every = EveryItemTicked();
  if (all_ && !every) {
    all_ = false;
    ShowAll();
  } else if (!all_ && every) {
    all_ = true;
    ShowAll();
  }
}

void SelectionGroup::SetTick(int index, bool value) {
  ticks_.at(static_cast<size_t>(index)) = value;
  if (view_.show_tick) view_.show_tick(index, value);
}

void SelectionGroup::SetAll(bool value) {
  if (value != all_) ClickAll(value);
}

void SelectionGroup::SetCurrent(int row) {
  if (row < 0 || row >= Count()) throw std::out_of_range("selection row out of range");
  current_ = row;
  if (view_.show_current) view_.show_current(row);
}

}  // namespace valmeric::window_model
