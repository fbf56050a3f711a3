// The error display's text, the guarded call of a handler, the layout table,
// the taskbar's progress flags.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

#include "support/temp_dir.h"
#include "window_model/error_text.h"
#include "window_model/guarded_call.h"
#include "window_model/layout.h"
#include "window_model/save_folder.h"
#include "window_model/taskbar_state.h"

namespace valmeric::window_model {
namespace {

TEST(ErrorDisplayTextTest, AppendsAFullStopOnlyWhereAMarkIsMissing) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"database file not found", "database file not found."},
      {"disk full.", "disk full."},
      {"really?", "really?"},
      {"list index out of bounds (3)", "list index out of bounds (3)"},
      {"ファイルが見つかりません", "ファイルが見つかりません."},
      {"ファイルが見つかりません。", "ファイルが見つかりません。"},
      {"中断しますか？", "中断しますか？"},
      {"line 3", "line 3."},
  };
  for (const auto& [message, shown] : cases) EXPECT_EQ(ErrorDisplayText(message), shown) << message;
}

TEST(GuardedCallTest, HandsWhatAHandlerThrowsToTheErrorDisplay) {
  struct Case {
    const char* name;
    std::function<void()> handler;
    bool expected_return;
    std::optional<std::string> expected_shown;
  } cases[] = {
      {"returns", [] {}, true, std::nullopt},
      {"std::exception", [] { throw std::runtime_error("disk full"); }, false, "disk full"},
      {"anything else", [] { throw 42; }, false, ""},
  };
  for (const Case& c : cases) {
    std::optional<std::string> shown;
    int shows = 0;
    const bool returned = GuardedCall(c.handler, [&](const std::string& message) {
      shown = message;
      ++shows;
    });
    EXPECT_EQ(returned, c.expected_return) << c.name;
    EXPECT_EQ(shown, c.expected_shown) << c.name;
    EXPECT_EQ(shows, c.expected_shown ? 1 : 0) << c.name;
  }
}

TEST(LayoutTest, EveryControlIsFoundByItsId) {
  for (const ControlSpec& spec : kControls) {
    EXPECT_EQ(&Control(spec.id), &spec) << spec.name;
  }
  EXPECT_THROW(Control(static_cast<ControlId>(kChkCtgr - 1)), std::out_of_range);
}

TEST(SaveFolderTest, DocumentsFirstThenTheLastChosenFolderWhileItIsThere) {
  namespace fs = std::filesystem;
  const test::TempDir dir;
  const fs::path documents = dir.path() / "Documents";
  const fs::path chosen = dir.path() / "データ";
  const fs::path later = dir.path() / "later";
  for (const auto& folder : {documents, chosen, later}) fs::create_directory(folder);
  const fs::path gone = dir.path() / "gone";

  struct Case {
    const char* name;
    fs::path documents;
    std::vector<fs::path> files;  // chosen in the dialog, in this order
    fs::path expected;
  };
  const Case cases[] = {
      {"first dialog: Documents", documents, {}, documents},
      {"then the chosen file's folder", documents, {chosen / "a.csv"}, chosen},
      {"the last of several", documents, {chosen / "a.csv", later / "b"}, later},
      {"a folder gone since: Documents", documents, {gone / "a.csv"}, documents},
      {"no Documents folder: the dialog's own choice", gone, {}, fs::path()},
      {"the system names none", fs::path(), {}, fs::path()},
      {"no Documents, a chosen folder still counts", fs::path(), {chosen / "a.csv"}, chosen},
      {"a bare name changes nothing", documents, {"a.csv"}, documents},
  };
  for (const auto& c : cases) {
    SaveFolder folder(c.documents);
    for (const auto& file : c.files) folder.Chosen(file);
    EXPECT_EQ(folder.Initial(), c.expected) << c.name;
  }
}

TEST(TaskbarFlagTest, StatesMapToTheTaskbarFlags) {
  const std::pair<int, int> cases[] = {{tbpsNone, 0},  {tbpsIndeterminate, 1}, {tbpsNormal, 2},
                                       {tbpsError, 4}, {tbpsPaused, 8},        {5, 0},
                                       {-1, 0}};
  for (const auto& [state, flag] : cases) EXPECT_EQ(TaskbarProgressFlag(state), flag) << state;
}

}  // namespace
}  // namespace valmeric::window_model
