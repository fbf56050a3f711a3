// The error display's text.

#include <gtest/gtest.h>

#include "app/error_text.h"

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

}  // namespace
}  // namespace valmeric::app
