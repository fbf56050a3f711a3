#include "common/text_encoding.h"

#include <gtest/gtest.h>

namespace valmeric {
namespace {

TEST(TextEncoding, Utf8AndShiftJisRoundTrip) {
  const std::string samples[] = {"", "abc", "札幌市中央区", "①～ｱ", "O'Brien \"x\""};
  for (const std::string& utf8 : samples) EXPECT_EQ(SjisToUtf8(Utf8ToSjis(utf8)), utf8);
  EXPECT_EQ(Utf8ToSjis("あ"), "\x82\xA0");
}

TEST(TextEncoding, WhatCannotBeConvertedBecomesAReplacement) {
  EXPECT_EQ(Utf8ToSjis("a\xF0\x9F\x98\x80z"), "a?z");  // emoji
  EXPECT_EQ(Utf8ToSjis("a\xC3z"), "a?z");               // broken UTF-8
  EXPECT_EQ(SjisToUtf8("a\x82\x01z"), "a\xEF\xBF\xBD\x01z");  // lead byte without a trail
}

TEST(TextEncoding, CodePointsOutsideShiftJisAreRefused) {
  std::string out;
  EXPECT_TRUE(AppendCodePointAsSjis(0x3042, out));
  EXPECT_EQ(out, "\x82\xA0");
  EXPECT_FALSE(AppendCodePointAsSjis(0x1F600, out));
  EXPECT_FALSE(AppendCodePointAsSjis(0xD800, out));
  EXPECT_FALSE(AppendCodePointAsSjis(0x110000, out));
  EXPECT_EQ(out, "\x82\xA0");
}

}  // namespace
}  // namespace valmeric
