#include "support/cp932_check.h"

#include <gtest/gtest.h>

#include "support/euc.h"

namespace valmeric {
namespace {

// The checker the end-to-end tests apply to every CSV must be able to fail.
TEST(StrictCp932, AcceptsWholeCharactersOnly) {
  struct Case {
    const char* name;
    std::string text;
    bool valid;
  } cases[] = {
      {"ascii, kana and kanji", "\"a\"," + test::Sjis("ｱ札幌市〒①髙"), true},
      {"a lead byte at the end", test::Sjis("札幌") + "\x8E", false},
      {"a lead byte before a quote", "\x8E\",", false},
      {"a lead byte before a line end", "\x8E\r\n", false},
      {"a byte that opens nothing",
       "a\x80"
       "b",
       false},
      {"a byte above the lead bytes", "\xFD", false},
      {"a pair the code page leaves unnamed", "\x85\x40", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<bool>(test::IsStrictCp932(c.text)), c.valid) << c.name;
  }
}

}  // namespace
}  // namespace valmeric
