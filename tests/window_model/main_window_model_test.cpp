// What both windows decide alike: the configuration check, the ticks of a
// resumed run, the settings that must not keep a window open.

#include "window_model/main_window_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/named_case.h"
#include "support/temp_dir.h"
#include "support/test_database.h"
#include "window_model/selection_ticks.h"

namespace valmeric::window_model {
namespace {

namespace fs = std::filesystem;

// A window as the controller sees it: it records the boxes and answers No.
class RecordingView final : public RunView {
 public:
  std::vector<UserMessage> messages;

  Selection TickedSelection() override { return {}; }
  void RestoreSelection(const Selection&) override {}
  int ShowMessage(const UserMessage& message) override {
    messages.push_back(message);
    return kIdNo;
  }
  std::optional<ChosenFile> AskOutputFile(const std::string&) override { return std::nullopt; }
  void ShowRunningLook() override {}
  void RestoreCursor() override {}
  void ShowIdleLook() override {}
  void InitProgress(int) override {}
  void SetProgress(int) override {}
  void ShowStatus(const std::string&) override {}
  void AlertRunDone() override {}
  bool OpenFile(const std::string&) override { return true; }
  void SaveSettings() override {}
  void Quit() override {}
};

struct ConfigCase {
  const char* name;
  std::function<void(const fs::path&)> make;  // puts what the case has at the database's path
  const char* expected_problem;               // the detail's reason, or nothing when ready
  bool expected_ready;
  std::string expected_categories;  // after the check
  size_t expected_messages;
};
VALMERIC_PRINT_CASE_BY_NAME(ConfigCase)

class CheckConfigTest : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(CheckConfigTest, LoadsTheTicksOnlyWithTheDatabase) {
  const auto& c = GetParam();
  test::TempDir dir;
  const fs::path db = dir.path() / "hpt_data.db";
  c.make(db);
  const std::string ini = "[Config]\r\nCategory=0010\r\n";
  test::WriteFile((dir.path() / "hpt.ini").string(), ini);

  MainWindowModel model(db);
  model.FindDatabase();
  RecordingView view;
  RunController controller(view, db, {}, [] {});
  EXPECT_EQ(model.CheckConfig(controller, view), c.expected_ready);
  EXPECT_EQ(TickText(model.categories()), c.expected_categories);
  ASSERT_EQ(view.messages.size(), c.expected_messages);
  if (c.expected_messages > 0) {
    EXPECT_EQ(view.messages[0].text, std::string(msg::kConfigError) + "\n" +
                                         fs::absolute(db).string() + "（" + c.expected_problem +
                                         "）");
    EXPECT_EQ(view.messages[0].title, msg::kConfigTitle);
    EXPECT_EQ(view.messages[0].style, mb::kNotice);
  }
  // The check writes nothing, either way.
  EXPECT_EQ(test::ReadFile((dir.path() / "hpt.ini").string()), ini);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckConfigTest,
    ::testing::Values(
        ConfigCase{"WithTheDatabase",
                   [](const fs::path& db) { test::CreateTestDatabase(db.string(), {}, {}); }, "",
                   true, "0010000000", 0},
        ConfigCase{"WithoutTheDatabase", [](const fs::path&) {}, "ファイルがありません", false,
                   "0000000000", 1},
        ConfigCase{"AnEmptyFile", [](const fs::path& db) { test::WriteFile(db.string(), ""); },
                   "データベースのファイルではありません", false, "0000000000", 1},
        ConfigCase{"ATextFile",
                   [](const fs::path& db) { test::WriteFile(db.string(), "[Config]\r\n"); },
                   "データベースのファイルではありません", false, "0000000000", 1},
        ConfigCase{"AFolder", [](const fs::path& db) { fs::create_directory(db); },
                   "データベースのファイルではありません", false, "0000000000", 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct RestoreCase {
  const char* name;
  std::string ticks_before;  // categories, applied as from the settings file
  std::vector<int> codes;
  std::string expected_ticks;
  bool expected_all;
  int expected_row;
};
VALMERIC_PRINT_CASE_BY_NAME(RestoreCase)

class RestoreSelectionTest : public ::testing::TestWithParam<RestoreCase> {};

TEST_P(RestoreSelectionTest, TicksExactlyTheRunsCodes) {
  const auto& c = GetParam();
  MainWindowModel model("hpt_data.db");
  ApplyTickText(model.categories(), c.ticks_before);
  ApplyTickText(model.prefectures(), std::string(47, '1'));
  model.RestoreSelection({c.codes, {13}});
  EXPECT_EQ(TickText(model.categories()), c.expected_ticks);
  EXPECT_EQ(model.categories().All(), c.expected_all);
  EXPECT_EQ(model.categories().Current(), c.expected_row);
  EXPECT_EQ(model.prefectures().TickedCodes(), std::vector<int>{13});
  EXPECT_FALSE(model.prefectures().All());
  EXPECT_EQ(model.TickedSelection().categories, model.categories().TickedCodes());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestoreSelectionTest,
    ::testing::Values(
        RestoreCase{"FromAllTicked", "1111111111", {3}, "0010000000", false, 2},
        RestoreCase{"OthersCleared", "1100000001", {5, 6}, "0000110000", false, 4},
        RestoreCase{
            "EveryCode", "0100000000", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, "1111111111", true, 0},
        RestoreCase{"CodesOutsideTheList", "", {0, 11, 8}, "0000000100", false, 7}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MainWindowModelTest, SettingsThatCannotBeWrittenAreDropped) {
  test::TempDir dir;
  MainWindowModel model(dir.path() / "hpt_data.db");
  fs::create_directories(model.settings_path() / "x");  // a folder where the file goes
  model.categories().ClickAll(true);
  EXPECT_NO_THROW(model.SaveSettings());
  EXPECT_TRUE(fs::is_directory(model.settings_path()));
  EXPECT_EQ(model.settings_path(), dir.path() / "hpt.ini");
}

}  // namespace
}  // namespace valmeric::window_model
