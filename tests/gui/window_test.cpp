// The main window's layout, its selection lists and its settings file.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <filesystem>

#include "common/network/site_lists.h"
#include "common/text/text_encoding.h"
#include "support/named_case.h"
#include "support/temp_dir.h"
#include "window_harness.h"
#include "window_model/ini_file.h"

namespace valmeric::test {
namespace {

namespace fs = std::filesystem;

struct ControlCase {
  const char* name;
  QRect geometry;
  const char* text;
  bool enabled;
  bool visible;
};

TEST(WindowLayoutTest, ControlsHaveTheirNamesPlacesTextsAndStates) {
  WindowHarness h;
  app::TFrmMain& w = h.window();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Valmeric"));
  EXPECT_EQ(w.size(), QSize(316, 303));
  EXPECT_EQ(w.minimumSize(), QSize(316, 303));
  EXPECT_EQ(w.maximumSize(), QSize(316, 303));
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);

  const ControlCase cases[] = {
      {"chkCtgr", {11, 8, 119, 17}, " 診療科目の選択 : ", true, true},
      {"lstCtgr", {8, 28, 145, 164}, nullptr, true, true},
      {"chkArea", {165, 8, 119, 17}, " 都道府県の選択 : ", true, true},
      {"lstArea", {162, 28, 145, 244}, nullptr, true, true},
      {"btnAction", {8, 202, 145, 32}, "取得開始 (&R)", true, true},
      {"btnCancel", {8, 236, 145, 32}, "キャンセル (&C)", false, true},
      {"prgBar", {0, 288, 316, 15}, nullptr, true, true},
      {"btnArea", {238, -10, 30, 20}, "地域", false, false},
      {"btnCtgr", {269, -10, 30, 20}, "科目", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto* control = h.Find<QWidget>(c.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(), c.geometry);
    EXPECT_EQ(control->isEnabled(), c.enabled);
    EXPECT_EQ(control->isVisible(), c.visible);
    if (c.text != nullptr) {
      const QString text = qobject_cast<QAbstractButton*>(control)->text();
      EXPECT_EQ(text, QString::fromUtf8(c.text));
    }
  }
  EXPECT_FALSE(h.Check("chkCtgr")->isChecked());
  EXPECT_FALSE(h.Check("chkArea")->isChecked());
  EXPECT_EQ(h.Find<QProgressBar>("prgBar")->value(), 0);

  auto* status = h.Find<QLabel>("lblStatus");
  EXPECT_EQ(status->text(), QString(2, QChar(0x3000)));
  EXPECT_EQ(status->geometry().right() + 1, 304);
  EXPECT_EQ(status->y(), 275);
  EXPECT_EQ(status->focusPolicy(), Qt::NoFocus);
  EXPECT_TRUE(status->alignment() & Qt::AlignRight);
}

TEST(WindowLayoutTest, TabOrderFollowsTheControlTable) {
  WindowHarness h;
  const char* order[] = {"chkCtgr",   "lstCtgr",   "chkArea", "lstArea",
                         "btnAction", "btnCancel", "btnArea", "btnCtgr"};
  // The focus chain also passes through the lists' inner parts; keep the named controls.
  std::vector<std::string> chain;
  QWidget* widget = h.Find<QWidget>(order[0]);
  do {
    for (const char* name : order) {
      if (widget->objectName() == QLatin1String(name)) chain.push_back(name);
    }
    widget = widget->nextInFocusChain();
  } while (widget != h.Find<QWidget>(order[0]));
  EXPECT_EQ(chain, std::vector<std::string>(std::begin(order), std::end(order)));
}

TEST(WindowLayoutTest, ListsHoldTheCategoriesAndPrefecturesInOrder) {
  WindowHarness h;
  struct {
    const char* list;
    const std::vector<std::string>& names;
  } lists[] = {{"lstCtgr", CategoryNames()}, {"lstArea", PrefectureNames()}};
  for (const auto& l : lists) {
    QListWidget* list = h.List(l.list);
    ASSERT_EQ(list->count(), static_cast<int>(l.names.size()));
    for (int i = 0; i < list->count(); ++i) {
      EXPECT_EQ(list->item(i)->text(),
                QString::fromStdString(SjisToUtf8(l.names[static_cast<size_t>(i)])));
      EXPECT_EQ(list->item(i)->checkState(), Qt::Unchecked);
      EXPECT_EQ(list->visualItemRect(list->item(i)).height(), 16);
    }
    EXPECT_EQ(list->font().pixelSize(), 13);
    EXPECT_FALSE(list->testAttribute(Qt::WA_InputMethodEnabled));
  }
  EXPECT_EQ(h.List("lstCtgr")->item(6)->text(), QString::fromUtf8("泌尿器科・肛門科系"));
  EXPECT_EQ(h.List("lstArea")->item(46)->text(), QString::fromUtf8("沖縄県"));
  EXPECT_EQ(h.window().font().pixelSize(), 12);
  EXPECT_TRUE(h.window().font().families().contains(QString::fromUtf8("ＭＳ Ｐゴシック")));
}

// How the user toggles an item.
enum class Toggle { kMouse, kSpaceKey };
inline void PrintTo(Toggle how, std::ostream* os) {
  *os << (how == Toggle::kMouse ? "Mouse" : "SpaceKey");
}

void UserToggle(WindowHarness& h, const char* list_name, int row, Toggle how) {
  QListWidget* list = h.List(list_name);
  list->setCurrentRow(row);
  if (how == Toggle::kSpaceKey) {
    QTest::keyClick(list, Qt::Key_Space);
    return;
  }
  QListWidgetItem* item = list->item(row);
  QStyleOptionViewItem option;
  option.initFrom(list->viewport());
  option.rect = list->visualItemRect(item);
  option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  option.widget = list;
  const QRect check =
      list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, check.center());
}

class ToggleTest : public ::testing::TestWithParam<Toggle> {};

TEST_P(ToggleTest, TheAllBoxFollowsTheItemsWithoutOverwritingThem) {
  WindowHarness h;
  const Toggle how = GetParam();
  QListWidget* list = h.List("lstCtgr");
  QCheckBox* all = h.Check("chkCtgr");

  // Ticking the last unticked item checks the all box; no other tick moves.
  for (int i = 0; i < 9; ++i) UserToggle(h, "lstCtgr", i, how);
  EXPECT_FALSE(all->isChecked());
  UserToggle(h, "lstCtgr", 9, how);
  EXPECT_TRUE(all->isChecked());
  EXPECT_TRUE(h.window().categories().All());
  for (int i = 0; i < 10; ++i) EXPECT_EQ(list->item(i)->checkState(), Qt::Checked) << i;

  // Unticking one unchecks the all box, and the others stay ticked.
  UserToggle(h, "lstCtgr", 4, how);
  EXPECT_FALSE(all->isChecked());
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(list->item(i)->checkState(), i == 4 ? Qt::Unchecked : Qt::Checked) << i;
    EXPECT_EQ(h.window().categories().IsTicked(i), i != 4) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Input, ToggleTest, ::testing::Values(Toggle::kMouse, Toggle::kSpaceKey),
                         [](const auto& info) {
                           return info.param == Toggle::kMouse ? "Mouse" : "SpaceKey";
                         });

TEST(SelectionWidgetsTest, ClickingTheAllBoxSetsEveryItemAndFocusesTheList) {
  WindowHarness h;
  h.window().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&h.window()));
  h.Tick("lstArea", 3);
  h.Tick("lstArea", 40);
  QTest::mouseClick(h.Check("chkArea"), Qt::LeftButton);
  EXPECT_TRUE(h.Check("chkArea")->isChecked());
  for (int i = 0; i < 47; ++i)
    EXPECT_EQ(h.List("lstArea")->item(i)->checkState(), Qt::Checked) << i;
  EXPECT_TRUE(h.List("lstArea")->hasFocus());

  QTest::mouseClick(h.Check("chkArea"), Qt::LeftButton);
  for (int i = 0; i < 47; ++i)
    EXPECT_EQ(h.List("lstArea")->item(i)->checkState(), Qt::Unchecked) << i;
  EXPECT_TRUE(h.window().prefectures().TickedCodes().empty());
}

struct LoadCase {
  const char* name;
  std::string file;             // contents of hpt.ini; empty: no file
  std::vector<int> categories;  // ticked rows expected
  int category_row;
  bool category_all;
  std::vector<int> prefectures;
  int prefecture_row;
  bool prefecture_all;
  const char* focused;  // list expected to hold the focus, or nullptr
};
VALMERIC_PRINT_CASE_BY_NAME(LoadCase)

std::vector<int> Rows(int from, int to) {
  std::vector<int> rows;
  for (int i = from; i <= to; ++i) rows.push_back(i);
  return rows;
}

class SettingsLoadTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(SettingsLoadTest, TicksAllBoxesAndRowsFollowTheFile) {
  const auto& c = GetParam();
  WindowHarness h(false);
  if (!c.file.empty()) WriteFile(h.window().settingsPath().string(), c.file);
  h.window().show();
  h.window().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&h.window()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return h.List("lstCtgr")->currentRow() >= 0; }, kWaitMs));

  struct Side {
    const char* list;
    const char* box;
    const std::vector<int>& ticked;
    int row;
    bool all;
  } sides[] = {{"lstCtgr", "chkCtgr", c.categories, c.category_row, c.category_all},
               {"lstArea", "chkArea", c.prefectures, c.prefecture_row, c.prefecture_all}};
  for (const auto& side : sides) {
    SCOPED_TRACE(side.list);
    QListWidget* list = h.List(side.list);
    std::vector<int> ticked;
    for (int i = 0; i < list->count(); ++i) {
      if (list->item(i)->checkState() == Qt::Checked) ticked.push_back(i);
    }
    EXPECT_EQ(ticked, side.ticked);
    EXPECT_EQ(list->currentRow(), side.row);
    EXPECT_EQ(h.Check(side.box)->isChecked(), side.all);
    // The invariant: the all box is checked exactly when every item is ticked.
    EXPECT_EQ(h.Check(side.box)->isChecked(), static_cast<int>(ticked.size()) == list->count());
  }
  if (c.focused != nullptr) {
    EXPECT_TRUE(h.List(c.focused)->hasFocus());
  }
  EXPECT_FALSE(h.window().terminateRequested());
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsLoadTest,
    ::testing::Values(
        LoadCase{"NoFile", "", {}, 0, false, {}, 0, false, nullptr},
        LoadCase{"AllCategories",
                 "[Config]\r\nCategory=1111111111\r\n",
                 Rows(0, 9),
                 0,
                 true,
                 {},
                 0,
                 false,
                 "lstCtgr"},
        LoadCase{"BothAllMovesFocusOn",
                 "[Config]\nCategory=1111111111\nArea=" + std::string(47, '1') + "\n", Rows(0, 9),
                 0, true, Rows(0, 46), 0, true, "lstArea"},
        LoadCase{"ShortValue", "[Config]\nCategory=0010\n", {2}, 2, false, {}, 0, false, nullptr},
        LoadCase{"LongValueExtraIgnored",
                 "[Config]\nArea=" + std::string(47, '1') + "0101xyz\n",
                 {},
                 0,
                 false,
                 Rows(0, 46),
                 0,
                 true,
                 "lstArea"},
        LoadCase{"OnlyOtherCharacters",
                 "[Config]\nCategory=2 9ab?-x\tz\nArea=  \n",
                 {},
                 0,
                 false,
                 {},
                 0,
                 false,
                 nullptr},
        LoadCase{"NamesInOtherCaseAndBlanks",
                 "; saved\n[config]\n  category = 0100000001 \nAREA=00001\n",
                 {1, 9},
                 1,
                 false,
                 {4},
                 4,
                 false,
                 nullptr},
        LoadCase{"OtherSectionIgnored",
                 "[Other]\nCategory=1111111111\n[Config]\nArea=01\n",
                 {},
                 0,
                 false,
                 {1},
                 1,
                 false,
                 nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsSaveTest, ClosingTheIdleWindowWritesTheNormalisedForm) {
  WindowHarness h(false);
  const std::string path = h.window().settingsPath().string();
  WriteFile(path, "[Config]\nCategory=1x1\nArea=" + std::string(60, '1') + "\n[Keep]\nOther=1\n");
  h.Show();
  EXPECT_TRUE(h.window().close());
  const window_model::IniFile ini = window_model::IniFile::Load(path);
  EXPECT_EQ(ini.ReadString("Config", "Category", "?"), "1010000000");
  EXPECT_EQ(ini.ReadString("Config", "Area", "?"), std::string(47, '1'));
  EXPECT_EQ(ini.ReadString("Keep", "Other", "?"), "1");
}

TEST(SettingsSaveTest, ASettingsFileThatCannotBeWrittenDoesNotKeepTheWindowOpen) {
  WindowHarness h;
  fs::create_directories(h.window().settingsPath() / "in-the-way");
  h.Tick("lstCtgr", 1);
  EXPECT_TRUE(h.window().close());
  EXPECT_FALSE(h.window().isVisible());
  EXPECT_TRUE(h.dialogs.boxes.empty());
  EXPECT_TRUE(fs::is_directory(h.window().settingsPath()));
}

TEST(SettingsSaveTest, WithoutTheDbFolderNothingIsWritten) {
  WindowHarness h;
  fs::remove_all(h.site.db_folder());
  h.Tick("lstCtgr", 1);
  EXPECT_TRUE(h.window().close());
  EXPECT_FALSE(fs::exists(h.site.db_folder()));
}

}  // namespace
}  // namespace valmeric::test
