// The table builders' hidden buttons: the rebuild runs while the window's
// events go on, and the window stays until it has ended.

#include <gtest/gtest.h>

#include "support/test_database.h"
#include "window_harness.h"

namespace valmeric::test {
namespace {

const QString kDone = QString::fromUtf8("終了");
const QString kTitle = QStringLiteral("Valmeric");

QString StatusText(WindowHarness& h) {
  return h.Find<QLabel>("lblStatus")->text();
}

TEST(TableRebuildWindowTest, TheCityBuilderShowsEachPrefectureAndKeepsTheWindowOpen) {
  WindowHarness h(true, {}, true);
  h.site.HoldNext("city:3");
  h.window().btnAreaClick();
  EXPECT_TRUE(h.window().rebuilding());
  ASSERT_TRUE(h.WaitHolding());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return StatusText(h) == QString::fromUtf8("県コード：2 取得中"); }, kWaitMs));

  // Refused while the rebuild holds the database, without a question.
  EXPECT_FALSE(h.window().close());
  EXPECT_TRUE(h.window().isVisible());
  EXPECT_TRUE(h.dialogs.boxes.empty());

  h.site.Release();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !h.window().rebuilding(); }, kWaitMs));
  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  EXPECT_EQ(h.dialogs.boxes[0].text, kDone);
  EXPECT_EQ(h.dialogs.boxes[0].title, kTitle);
  EXPECT_EQ(h.dialogs.boxes[0].style, app::mb::kOk);
  EXPECT_EQ(StatusText(h), QString::fromUtf8("県コード：47 取得中"));
  EXPECT_EQ(QueryColumn(h.site.db_file(), "SELECT count(*) FROM T01_City"),
            std::vector<std::string>{"47"});
  EXPECT_TRUE(h.Idle());
  EXPECT_TRUE(h.window().close());
}

TEST(TableRebuildWindowTest, TheSubCategoryBuilderEndsWithItsBox) {
  WindowHarness h(true, {}, true);
  h.window().btnCtgrClick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !h.window().rebuilding(); }, kWaitMs));
  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  EXPECT_EQ(h.dialogs.boxes[0].text, kDone);
  EXPECT_EQ(QueryColumn(h.site.db_file(), "SELECT SubCtgrName FROM T02_Category ORDER BY ID"),
            (std::vector<std::string>{"一般内科", "循環器内科"}));
}

TEST(TableRebuildWindowTest, WhatStopsTheRebuildGoesToTheDefaultErrorDisplay) {
  WindowHarness h(true, {}, true);
  h.site.EmptyCityPage(4);
  const auto before = QueryColumn(h.site.db_file(), "SELECT CityName FROM T01_City ORDER BY rowid");
  h.window().btnAreaClick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !h.window().rebuilding(); }, kWaitMs));
  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  EXPECT_TRUE(h.dialogs.boxes[0].text.contains(QStringLiteral("pref_no=4")))
      << h.dialogs.boxes[0].text.toStdString();
  EXPECT_EQ(h.dialogs.boxes[0].title, kTitle);
  EXPECT_EQ(h.dialogs.boxes[0].style, app::mb::kError);
  EXPECT_EQ(QueryColumn(h.site.db_file(), "SELECT CityName FROM T01_City ORDER BY rowid"), before);
}

}  // namespace
}  // namespace valmeric::test
