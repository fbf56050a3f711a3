#pragma once

#include <functional>
#include <string>
#include <vector>

namespace valmeric::window_model {

// One selection list with its "all" box: a fixed list of items, one tick per
// item and the all box, which is checked exactly when every item is ticked.
// It needs no widgets; a view binds to it through the hooks below and reports
// the user's clicks back through ClickAll and ItemToggled.
class SelectionGroup final {
 public:
  // What a view must mirror. Every hook is optional. The model calls them for
  // its own changes only; a view must show them without reporting them back
  // as user input (that is what keeps the all box's change in ItemToggled
  // from running ClickAll).
  struct View {
    std::function<void(int index, bool ticked)> show_tick;
    std::function<void(bool all)> show_all;
    std::function<void(int row)> show_current;
    std::function<void()> focus_list;
  };

  explicit SelectionGroup(std::vector<std::string> items);

  void Bind(View view) { view_ = std::move(view); }

  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& Item(int index) const { return items_.at(static_cast<size_t>(index)); }
  bool IsTicked(int index) const { return ticks_.at(static_cast<size_t>(index)); }
  bool All() const { return all_; }
  int Current() const { return current_; }
  // Index of the first ticked item, or -1.
  int FirstTicked() const;
  // 1-based codes of the ticked items, ascending.
  std::vector<int> TickedCodes() const;

  // The user has set the all box to value: every item takes it, and the list
  // takes the focus.
  void ClickAll(bool value);
  // The user has set one item's tick (by mouse or key): the all box follows
  // without touching any other tick.
  void ItemToggled(int index, bool value);
  // Sets one tick with no event; the all box is not touched (see SetAll).
  void SetTick(int index, bool value);
  // Sets the all box as a click would: a changed value runs ClickAll, an
  // unchanged one does nothing.
  void SetAll(bool value);
  void SetCurrent(int row);

 private:
  bool EveryItemTicked() const;
  void ShowAll();

  const std::vector<std::string> items_;
  std::vector<bool> ticks_;
  bool all_ = false;
  int current_ = -1;
  View view_;
};

}  // namespace valmeric::window_model
