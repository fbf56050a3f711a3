#include "window_model/selection_group.h"

#include <gtest/gtest.h>

namespace valmeric::window_model {
namespace {

// A view that records what the model asks it to show.
struct RecordingView {
  std::vector<std::pair<int, bool>> ticks;
  std::vector<bool> alls;
  std::vector<int> rows;
  int focus = 0;

  SelectionGroup::View Make() {
    SelectionGroup::View view;
    view.show_tick = [this](int i, bool t) { ticks.emplace_back(i, t); };
    view.show_all = [this](bool a) { alls.push_back(a); };
    view.show_current = [this](int r) { rows.push_back(r); };
    view.focus_list = [this] { ++focus; };
    return view;
  }
};

SelectionGroup Group(int n) {
  std::vector<std::string> items;
  for (int i = 0; i < n; ++i) items.push_back("item" + std::to_string(i));
  return SelectionGroup(items);
}

std::vector<bool> Ticks(const SelectionGroup& g) {
  std::vector<bool> ticks;
  for (int i = 0; i < g.Count(); ++i) ticks.push_back(g.IsTicked(i));
  return ticks;
}

bool InvariantHolds(const SelectionGroup& g) {
  bool every = true;
  for (int i = 0; i < g.Count(); ++i) every = every && g.IsTicked(i);
  return g.All() == every;
}

TEST(SelectionGroupTest, StartsWithNothingTicked) {
  SelectionGroup g = Group(10);
  EXPECT_EQ(Ticks(g), std::vector<bool>(10, false));
  EXPECT_FALSE(g.All());
  EXPECT_EQ(g.FirstTicked(), -1);
  EXPECT_TRUE(g.TickedCodes().empty());
}

TEST(SelectionGroupTest, TickingTheLastUntickedItemChecksTheAllBoxOnly) {
  SelectionGroup g = Group(4);
  RecordingView view;
  g.Bind(view.Make());
  for (int i = 0; i < 3; ++i) g.ItemToggled(i, true);
  EXPECT_FALSE(g.All());
  EXPECT_TRUE(view.alls.empty());
  g.ItemToggled(3, true);
  EXPECT_TRUE(g.All());
  EXPECT_EQ(view.alls, std::vector<bool>{true});
  EXPECT_TRUE(view.ticks.empty());  // the model moved no tick of its own
  EXPECT_EQ(view.focus, 0);         // ClickAll did not run
}

TEST(SelectionGroupTest, UntickingOneItemUnchecksTheAllBoxAndKeepsTheOthers) {
  SelectionGroup g = Group(5);
  RecordingView view;
  g.Bind(view.Make());
  g.ClickAll(true);
  view = RecordingView{};
  g.Bind(view.Make());
  g.ItemToggled(2, false);
  EXPECT_FALSE(g.All());
  EXPECT_EQ(Ticks(g), (std::vector<bool>{true, true, false, true, true}));
  EXPECT_EQ(view.alls, std::vector<bool>{false});
  EXPECT_TRUE(view.ticks.empty());
  EXPECT_EQ(view.focus, 0);
}

TEST(SelectionGroupTest, ClickingTheAllBoxGivesEveryItemItsValueAndTheFocusToTheList) {
  struct Case {
    bool value;
  } cases[] = {{true}, {false}};
  for (const auto& c : cases) {
    SelectionGroup g = Group(6);
    g.ItemToggled(1, true);
    g.ItemToggled(4, true);
    if (!c.value) g.ClickAll(true);
    RecordingView view;
    g.Bind(view.Make());
    g.ClickAll(c.value);
    EXPECT_EQ(Ticks(g), std::vector<bool>(6, c.value));
    EXPECT_EQ(g.All(), c.value);
    EXPECT_EQ(view.ticks.size(), 6u);
    EXPECT_EQ(view.focus, 1);
    EXPECT_TRUE(InvariantHolds(g));
  }
}

TEST(SelectionGroupTest, SetAllRunsClickAllOnlyForAChangedValue) {
  SelectionGroup g = Group(3);
  RecordingView view;
  g.Bind(view.Make());
  g.SetAll(false);
  EXPECT_EQ(view.focus, 0);
  EXPECT_TRUE(view.ticks.empty());
  g.SetAll(true);
  EXPECT_EQ(view.focus, 1);
  EXPECT_EQ(Ticks(g), std::vector<bool>(3, true));
  g.SetAll(true);
  EXPECT_EQ(view.focus, 1);
}

TEST(SelectionGroupTest, SetTickRaisesNoEventAndLeavesTheAllBox) {
  SelectionGroup g = Group(2);
  RecordingView view;
  g.Bind(view.Make());
  g.SetTick(1, true);
  EXPECT_EQ(view.ticks, (std::vector<std::pair<int, bool>>{{1, true}}));
  EXPECT_TRUE(view.alls.empty());
  EXPECT_EQ(g.TickedCodes(), std::vector<int>{2});
  EXPECT_EQ(g.FirstTicked(), 1);
}

TEST(SelectionGroupTest, AnEmptyGroupTakesNoFocus) {
  SelectionGroup g = Group(0);
  RecordingView view;
  g.Bind(view.Make());
  g.ClickAll(true);
  EXPECT_EQ(view.focus, 0);
  EXPECT_TRUE(g.All());
}

TEST(SelectionGroupTest, TheInvariantHoldsAfterAnySequenceOfUserActions) {
  // A fixed pseudo-random walk over toggles and all-box clicks.
  SelectionGroup g = Group(7);
  unsigned seed = 12345;
  for (int step = 0; step < 500; ++step) {
    seed = seed * 1103515245u + 12345u;
    const int pick = static_cast<int>((seed >> 16) % 9);
    if (pick < 7) {
      g.ItemToggled(pick, !g.IsTicked(pick));
    } else {
      g.ClickAll(pick == 7);
    }
    ASSERT_TRUE(InvariantHolds(g)) << "step " << step;
  }
}

TEST(SelectionGroupTest, RowsReachTheView) {
  SelectionGroup g = Group(3);
  RecordingView view;
  g.Bind(view.Make());
  g.SetCurrent(2);
  EXPECT_EQ(g.Current(), 2);
  EXPECT_EQ(view.rows, std::vector<int>{2});
  EXPECT_THROW(g.SetCurrent(3), std::out_of_range);
}

}  // namespace
}  // namespace valmeric::window_model
