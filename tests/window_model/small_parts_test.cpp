// The error display's text, the guarded call of a handler, the layout table.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <stdexcept>

#include "window_model/error_text.h"
#include "window_model/guarded_call.h"
#include "window_model/layout.h"

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

}  // namespace
}  // namespace valmeric::window_model
