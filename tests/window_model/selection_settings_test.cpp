#include "window_model/selection_settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/named_case.h"
#include "support/temp_dir.h"
#include "window_model/ini_file.h"

namespace valmeric::window_model {
namespace {

namespace fs = std::filesystem;

SelectionGroup Group(int n) {
  return SelectionGroup(std::vector<std::string>(static_cast<size_t>(n), "x"));
}

struct TickCase {
  const char* name;
  std::string value;
  int items;
  std::string expected_ticks;  // TickText after applying
  int expected_row;
  bool expected_all;
  int expected_focus;
};
VALMERIC_PRINT_CASE_BY_NAME(TickCase)

class ApplyTickTextTest : public ::testing::TestWithParam<TickCase> {};

TEST_P(ApplyTickTextTest, TicksOnlyExactOnes) {
  const auto& c = GetParam();
  SelectionGroup g = Group(c.items);
  int focus = 0;
  SelectionGroup::View view;
  view.focus_list = [&] { ++focus; };
  g.Bind(view);
  const int ticked = ApplyTickText(g, c.value);
  EXPECT_EQ(TickText(g), c.expected_ticks);
  EXPECT_EQ(ticked,
            static_cast<int>(std::count(c.expected_ticks.begin(), c.expected_ticks.end(), '1')));
  EXPECT_EQ(g.Current(), c.expected_row);
  EXPECT_EQ(g.All(), c.expected_all);
  EXPECT_EQ(focus, c.expected_focus);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ApplyTickTextTest,
    ::testing::Values(TickCase{"Empty", "", 10, "0000000000", 0, false, 0},
                      TickCase{"AllTen", "1111111111", 10, "1111111111", 0, true, 1},
                      TickCase{"Short", "0010", 10, "0010000000", 2, false, 0},
                      TickCase{"LongerThanList", std::string(47, '1') + "10x", 47,
                               std::string(47, '1'), 0, true, 1},
                      TickCase{"OtherCharacters", "2a Z!-\t9", 10, "0000000000", 0, false, 0},
                      TickCase{"NineOfTen", "1111111110", 10, "1111111110", 0, false, 0},
                      TickCase{"FirstTickedRow", "0000001001", 10, "0000001001", 6, false, 0},
                      TickCase{"FullWidthOneIsNotOne",
                               "\xEF\xBC\x91"
                               "1",
                               10, "0001000000", 3, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SelectionSettingsFileTest, LoadWithoutAFileHighlightsRowZeroAndCreatesNothing) {
  test::TempDir dir;
  SelectionGroup categories = Group(10);
  SelectionGroup prefectures = Group(47);
  LoadSelectionSettings(dir.path() / "hpt.ini", categories, prefectures);
  EXPECT_EQ(categories.Current(), 0);
  EXPECT_EQ(prefectures.Current(), 0);
  EXPECT_EQ(categories.FirstTicked(), -1);
  EXPECT_FALSE(fs::exists(dir.path() / "hpt.ini"));
}

TEST(SelectionSettingsFileTest, SaveThenLoadGivesTheSameTicks) {
  test::TempDir dir;
  const fs::path path = dir.path() / "hpt.ini";
  SelectionGroup categories = Group(10);
  SelectionGroup prefectures = Group(47);
  categories.ItemToggled(0, true);
  categories.ItemToggled(9, true);
  prefectures.ClickAll(true);
  SaveSelectionSettings(path, categories, prefectures);
  const IniFile file = IniFile::Load(path);
  EXPECT_EQ(file.ReadString("Config", "Category", ""), "1000000001");
  EXPECT_EQ(file.ReadString("Config", "Area", ""), std::string(47, '1'));

  SelectionGroup categories2 = Group(10);
  SelectionGroup prefectures2 = Group(47);
  LoadSelectionSettings(path, categories2, prefectures2);
  EXPECT_EQ(TickText(categories2), "1000000001");
  EXPECT_TRUE(prefectures2.All());
  EXPECT_EQ(categories2.Current(), 0);
}

TEST(SelectionSettingsFileTest, SaveWithoutTheFolderWritesNothing) {
  test::TempDir dir;
  SelectionGroup categories = Group(10);
  SelectionGroup prefectures = Group(47);
  EXPECT_NO_THROW(SaveSelectionSettings(dir.path() / "db" / "hpt.ini", categories, prefectures));
  EXPECT_FALSE(fs::exists(dir.path() / "db"));
}

TEST(SelectionSettingsFileTest, SaveIntoAnUnwritableFileThrows) {
  test::TempDir dir;
  fs::create_directories(dir.path() / "hpt.ini" / "x");
  SelectionGroup categories = Group(10);
  SelectionGroup prefectures = Group(47);
  EXPECT_THROW(SaveSelectionSettings(dir.path() / "hpt.ini", categories, prefectures),
               std::runtime_error);
}

}  // namespace
}  // namespace valmeric::window_model
