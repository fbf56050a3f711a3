// The error display's text and the scratch file names.

#include <gtest/gtest.h>

#include "app/error_text.h"
#include "app/scratch_name.h"

namespace valmeric::app {
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

TEST(FreeScratchNameTest, TakesTheFirstNameNoRunningRunUses) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "tmp.dat"},
      {{"tmp.dat"}, "tmp-2.dat"},
      {{"tmp.dat", "tmp-2.dat"}, "tmp-3.dat"},
      {{"tmp-2.dat"}, "tmp.dat"},
      {{"tmp.dat", "tmp-3.dat"}, "tmp-2.dat"},
  };
  for (const auto& [in_use, name] : cases) EXPECT_EQ(FreeScratchName(in_use), name);
}

}  // namespace
}  // namespace valmeric::app
