// The window's side of a run, driven through its buttons against a local site.

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QRegularExpression>
#include <QUrl>
#include <filesystem>

#include "app/dialogs.h"
#include "common/text/sjis_text.h"
#include "engine/csv_writer.h"
#include "refdb/run_lock.h"
#include "support/named_case.h"
#include "support/temp_dir.h"
#include "support/test_database.h"
#include "window_harness.h"
#include "window_model/selection_settings.h"

namespace valmeric::test {
namespace {

namespace fs = std::filesystem;
using app::kIdNo;
using app::kIdYes;
using app::TFrmMain;

// The end question of a run that saved facilities into file.
QString Done(int facilities, const std::string& file) {
  return QString::fromUtf8(
             "事業所情報の取得が完了しました。\n%1 件を保存しました（%2）\n"
             "保存したファイルを開きますか？")
      .arg(facilities)
      .arg(QString::fromStdString(fs::absolute(file).string()));
}
const QString kCancelQuestion = QString::fromUtf8("取得処理を中断します。\nよろしいですか？");
const QString kCloseQuestion = QString::fromUtf8("取得処理の実行中ですが終了しますか？");
const QString kNothing = QString::fromUtf8("該当する事業所情報は見つかりませんでした。");
const QString kFileInUse = QString::fromUtf8(
    "選択されたファイルが他のアプリケーションで使用中の為\n開くことができませんでした。");
const QString kUnreachable = QString::fromUtf8(
    "サイトへのアクセスができませんでした。\r\nしばらく時間を置いてから再度実行してください。");

// Catches the request to open the finished file. Without a program for it,
// the handler named is one that does not exist: openUrl then reports failure,
// as on a desktop that has no program for CSV files.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  explicit UrlCatcher(bool has_program = true) {
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this,
                                    has_program ? "Open" : "NoProgramForThis");
  }
  ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
  std::vector<QUrl> opened;

 public Q_SLOTS:
  void Open(const QUrl& url) { opened.push_back(url); }
};

// Scratch download files (tmp-XXXXXX.dat) left in folder.
int ScratchFilesIn(const fs::path& folder) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    count += name.starts_with("tmp-") && name.ends_with(".dat") ? 1 : 0;
  }
  return count;
}

class RunControlTest : public ::testing::Test {
 protected:
  // status: what the status line keeps after the run.
  void ExpectIdleLook(const QString& status) {
    EXPECT_TRUE(h.Idle());
    for (const char* name : {"chkCtgr", "chkArea"}) EXPECT_TRUE(h.Check(name)->isEnabled()) << name;
    for (const char* name : {"lstCtgr", "lstArea"}) EXPECT_TRUE(h.List(name)->isEnabled()) << name;
    EXPECT_EQ(h.Find<QLabel>("lblStatus")->text(), status);
    EXPECT_EQ(h.Find<QProgressBar>("prgBar")->value(), 0);
    EXPECT_TRUE(h.Find<QProgressBar>("prgBar")->isVisible());
  }
  void ExpectRunningLook() {
    EXPECT_FALSE(h.Button("btnAction")->isEnabled());
    EXPECT_TRUE(h.Button("btnCancel")->isEnabled());
    for (const char* name : {"chkCtgr", "chkArea"})
      EXPECT_FALSE(h.Check(name)->isEnabled()) << name;
    for (const char* name : {"lstCtgr", "lstArea"}) EXPECT_FALSE(h.List(name)->isEnabled()) << name;
  }
  std::vector<QString> BoxTexts() {
    std::vector<QString> texts;
    for (const auto& box : h.dialogs.boxes) texts.push_back(box.text);
    return texts;
  }
  // Starts a run over five pages and holds it at the second page's request.
  void StartRunHeldAtSecondPage() {
    h.site.SetFivePages();
    h.site.HoldNext(GuiSite::Pairs()[1]);
    h.TickFirstOfEach();
    h.Start("result");
    ASSERT_TRUE(h.WaitHolding());
    // The worker's news reaches the window from its event loop.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return h.Find<QProgressBar>("prgBar")->value() == 2; }, kWaitMs));
  }

  WindowHarness h;
};

struct MissingTickCase {
  const char* name;
  bool category;
  bool prefecture;
  const char* message;
};
VALMERIC_PRINT_CASE_BY_NAME(MissingTickCase)

class MissingTickTest : public RunControlTest,
                        public ::testing::WithParamInterface<MissingTickCase> {};

TEST_P(MissingTickTest, NamesTheFirstEmptyListAndStartsNothing) {
  const auto& c = GetParam();
  if (c.category) h.Tick("lstCtgr", 3);
  if (c.prefecture) h.Tick("lstArea", 12);
  h.Button("btnAction")->click();

  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  EXPECT_EQ(h.dialogs.boxes[0].text, QString::fromUtf8(c.message));
  EXPECT_EQ(h.dialogs.boxes[0].title, QStringLiteral("Error"));
  EXPECT_EQ(h.dialogs.boxes[0].style, 0x40040u);
  EXPECT_TRUE(h.dialogs.save_dialogs.empty());
  EXPECT_TRUE(h.Idle());
  EXPECT_FALSE(h.window().hasWorker());
}

INSTANTIATE_TEST_SUITE_P(
    Ticks, MissingTickTest,
    ::testing::Values(
        MissingTickCase{"Neither", false, false, "診療科目は１つ以上を選択してください。"},
        MissingTickCase{"PrefectureOnly", false, true, "診療科目は１つ以上を選択してください。"},
        MissingTickCase{"CategoryOnly", true, false, "都道府県は１つ以上を選択してください。"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunControlTest, FullRunWritesEachFacilityOnceAndAsksToOpenTheFile) {
  h.site.SetFivePages();
  h.TickFirstOfEach();
  h.dialogs.setNextAnswer(kIdNo);
  UrlCatcher urls;

  h.Start("result");  // no extension: ".csv" is added

  ASSERT_EQ(h.dialogs.save_dialogs.size(), 1u);
  EXPECT_EQ(h.dialogs.save_dialogs[0].title,
            QString::fromUtf8("取得情報の保存先を指定してください"));
  EXPECT_EQ(h.dialogs.save_dialogs[0].initial_name, QString::fromUtf8("病院施設一覧.csv"));
  EXPECT_EQ(h.dialogs.save_dialogs[0].filters,
            (QStringList{QString::fromUtf8("CSVファイル (*.csv)"),
                         QString::fromUtf8("Excel ブック (*.xlsx)")}));
  ExpectRunningLook();
  ASSERT_TRUE(h.WaitIdle());

  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  EXPECT_EQ(h.dialogs.boxes[0].text, Done(5, h.site.File("result.csv")));
  EXPECT_EQ(h.dialogs.boxes[0].title, QString::fromUtf8("処理確認"));
  EXPECT_EQ(h.dialogs.boxes[0].style, 0x40124u);
  EXPECT_EQ(h.window().outputPath(), QString::fromStdString(h.site.File("result.csv")));
  EXPECT_EQ(h.window().runState(), 0);
  EXPECT_EQ(CsvCodes(h.site.File("result.csv")), Codes(GuiSite::Facilities(1, 5)));
  EXPECT_EQ(valmeric::SplitLines(ReadText(h.site.File("result.csv")))[0], CsvHeaderLine());
  EXPECT_EQ(h.Find<QProgressBar>("prgBar")->maximum(), 4);
  EXPECT_EQ(ScratchFilesIn(h.site.db_folder()), 0);
  EXPECT_TRUE(urls.opened.empty());
  ExpectIdleLook(QString::fromUtf8("5 件を保存しました（result.csv）"));
}

TEST_F(RunControlTest, AnsweringYesOpensTheFile) {
  h.site.SetFivePages();
  h.TickFirstOfEach();
  h.dialogs.setNextAnswer(kIdYes);
  UrlCatcher urls;
  h.Start("result.CSV");  // any letter case keeps the name
  ASSERT_TRUE(h.WaitIdle());
  ASSERT_EQ(urls.opened.size(), 1u);
  EXPECT_EQ(urls.opened[0], QUrl::fromLocalFile(QString::fromStdString(h.site.File("result.CSV"))));
  EXPECT_EQ(h.dialogs.boxes.size(), 1u);
}

// The workbook's file type: the run goes into the CSV of that name, the
// workbook comes at the end, and Yes opens it.
TEST_F(RunControlTest, TheWorkbookTypeWritesTheWorkbookAndYesOpensIt) {
  h.site.SetFivePages();
  h.TickFirstOfEach();
  h.dialogs.setNextAnswer(kIdYes);
  UrlCatcher urls;
  h.StartWorkbook("一覧.xlsx");
  ASSERT_TRUE(h.WaitIdle());
  const std::string book = fs::absolute(h.site.File("一覧.xlsx")).string();
  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  EXPECT_TRUE(h.dialogs.boxes[0].text.contains(QString::fromUtf8("Excel ブックを書き出しました: ") +
                                               QString::fromStdString(book)))
      << h.dialogs.boxes[0].text.toStdString();
  EXPECT_EQ(CsvCodes(h.site.File("一覧.csv")), Codes(GuiSite::Facilities(1, 5)));
  EXPECT_EQ(ReadText(book).substr(0, 2), "PK");
  ASSERT_EQ(urls.opened.size(), 1u);
  EXPECT_EQ(urls.opened[0], QUrl::fromLocalFile(QString::fromStdString(book)));
}

TEST_F(RunControlTest, WithoutAProgramToOpenTheFileABoxSaysSo) {
  h.site.SetFivePages();
  h.TickFirstOfEach();
  h.dialogs.setNextAnswer(kIdYes);
  UrlCatcher urls(/*has_program=*/false);
  h.Start("result");
  ASSERT_TRUE(h.WaitIdle());
  ASSERT_EQ(h.dialogs.boxes.size(), 2u);
  EXPECT_EQ(h.dialogs.boxes[1].text,
            QString::fromUtf8("ファイルを開くプログラムが見つかりませんでした。\n") +
                QString::fromStdString(h.site.File("result.csv")));
  EXPECT_EQ(h.dialogs.boxes[1].title, QStringLiteral("Error"));
  EXPECT_EQ(h.dialogs.boxes[1].style, 0x40040u);
  ExpectIdleLook(QString::fromUtf8("5 件を保存しました（result.csv）"));
}

// The save dialog opens in Documents (named by the XDG user folders file),
// then in the folder of the file last chosen.
TEST(SaveDialogFolderTest, DocumentsFirstThenTheFolderOfTheLastFile) {
  const TempDir config;
  const fs::path documents = config.path() / "書類";
  fs::create_directory(documents);
  WriteFile(config.File("user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"" + documents.string() + "\"\n");
  const QByteArray old_config = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path().string()));
  {
    WindowHarness h;
    h.site.SetFivePages();
    h.TickFirstOfEach();
    h.dialogs.setNextAnswer(kIdNo);
    h.Start("result");
    ASSERT_TRUE(h.WaitIdle());
    h.dialogs.setNextFileCancelled();
    h.Button("btnAction")->click();

    ASSERT_EQ(h.dialogs.save_dialogs.size(), 2u);
    EXPECT_EQ(h.dialogs.save_dialogs[0].folder, QString::fromStdString(documents.string()));
    EXPECT_EQ(h.dialogs.save_dialogs[1].folder,
              QString::fromStdString(fs::path(h.site.File("result")).parent_path().string()));
    EXPECT_EQ(h.dialogs.save_dialogs[1].initial_name, QString::fromUtf8("病院施設一覧.csv"));
  }
  if (old_config.isNull()) {
    qunsetenv("XDG_CONFIG_HOME");
  } else {
    qputenv("XDG_CONFIG_HOME", old_config);
  }
}

TEST_F(RunControlTest, AFileGoneBeforeTheAnswerIsReported) {
  h.site.SetFivePages();
  h.TickFirstOfEach();
  h.dialogs.setNextAnswer(kIdYes);
  UrlCatcher urls;
  h.dialogs.on_box = [&](const ShownBox& box) {
    if (box.text == Done(5, h.site.File("result.txt.csv")))
      fs::remove(h.site.File("result.txt.csv"));
  };
  h.Start("result.txt");
  ASSERT_TRUE(h.WaitIdle());
  ASSERT_EQ(h.dialogs.boxes.size(), 2u);
  EXPECT_EQ(h.dialogs.boxes[1].text, QString::fromUtf8("該当するファイルが見つかりませんでした。"));
  EXPECT_EQ(h.dialogs.boxes[1].title, QStringLiteral("Error"));
  EXPECT_EQ(h.dialogs.boxes[1].style, 0x40040u);
  EXPECT_TRUE(urls.opened.empty());
}

TEST_F(RunControlTest, AnExistingFileIsReplacedWithoutAnotherQuestion) {
  h.site.SetFivePages();
  h.TickFirstOfEach();
  WriteFile(h.site.File("result.csv"), "old content that must go\r\n");
  h.dialogs.setNextAnswer(kIdNo);
  h.Start("result");
  ASSERT_TRUE(h.WaitIdle());
  EXPECT_EQ(ReadText(h.site.File("result.csv")).find("old content"), std::string::npos);
  EXPECT_EQ(CsvCodes(h.site.File("result.csv")).size(), 5u);
}

TEST_F(RunControlTest, CancellingTheSaveDialogStartsNothing) {
  h.TickFirstOfEach();
  h.dialogs.setNextFileCancelled();
  h.Button("btnAction")->click();
  EXPECT_TRUE(h.Idle());
  EXPECT_FALSE(h.window().hasWorker());
  EXPECT_TRUE(h.dialogs.boxes.empty());
  EXPECT_EQ(h.site.Requests(GuiSite::Pairs()[0]), 0);
}

TEST_F(RunControlTest, AFileThatCannotBeDeletedStopsTheStart) {
  h.TickFirstOfEach();
  fs::create_directories(h.site.File("result.csv") + "/inside");
  h.Start("result.csv");
  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  EXPECT_EQ(h.dialogs.boxes[0].text, kFileInUse);
  EXPECT_EQ(h.dialogs.boxes[0].title, QStringLiteral("Error"));
  EXPECT_EQ(h.dialogs.boxes[0].style, 0x40040u);
  EXPECT_TRUE(h.Idle());
  EXPECT_FALSE(h.window().hasWorker());
  QTest::qWait(50);
  EXPECT_EQ(h.site.Requests(GuiSite::Pairs()[0]), 0);
}

TEST_F(RunControlTest, CancelAnsweredNoLetsTheRunFinish) {
  ASSERT_NO_FATAL_FAILURE(StartRunHeldAtSecondPage());
  // The second entry is being read: the bar stands at 2 of 4, the label
  // shows it from its start.
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return h.Find<QProgressBar>("prgBar")->value() == 2; }, kWaitMs));
  EXPECT_EQ(h.Find<QProgressBar>("prgBar")->maximum(), 4);
  EXPECT_EQ(h.Find<QLabel>("lblStatus")->text(),
            QString::fromUtf8("北海道札幌市中央区 - 循環器内科"));
  EXPECT_EQ(h.Find<QLabel>("lblStatus")->geometry().right() + 1, 304);

  h.dialogs.setNextAnswer(kIdNo);
  h.Button("btnCancel")->click();
  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  EXPECT_EQ(h.dialogs.boxes[0].text, kCancelQuestion);
  EXPECT_EQ(h.dialogs.boxes[0].title, QString::fromUtf8("中断確認"));
  EXPECT_EQ(h.dialogs.boxes[0].style, 0x40024u);
  EXPECT_EQ(h.window().runState(), 0);
  ExpectRunningLook();

  h.dialogs.setNextAnswer(kIdNo);
  h.site.Release();
  ASSERT_TRUE(h.WaitIdle());
  EXPECT_EQ(BoxTexts(),
            (std::vector<QString>{kCancelQuestion, Done(5, h.site.File("result.csv"))}));
  EXPECT_EQ(CsvCodes(h.site.File("result.csv")), Codes(GuiSite::Facilities(1, 5)));
}

TEST_F(RunControlTest, CancelAnsweredYesStopsAfterTheEntryWithoutAMessage) {
  ASSERT_NO_FATAL_FAILURE(StartRunHeldAtSecondPage());

  h.dialogs.setNextAnswer(kIdYes);
  h.Button("btnCancel")->click();
  EXPECT_EQ(h.window().runState(), 2);
  ExpectRunningLook();  // until the worker has stopped

  h.site.Release();
  ASSERT_TRUE(h.WaitIdle());
  EXPECT_EQ(BoxTexts(), (std::vector<QString>{kCancelQuestion}));
  EXPECT_EQ(h.window().runState(), 2);
  EXPECT_FALSE(h.window().hasWorker());
  EXPECT_EQ(h.site.Requests(GuiSite::Pairs()[2]), 0);
  EXPECT_EQ(h.site.Requests(GuiSite::Pairs()[3]), 0);
  const auto codes = CsvCodes(h.site.File("result.csv"));
  ASSERT_GE(codes.size(), 3u);  // the first entry's facilities at least
  EXPECT_EQ(std::vector<std::string>(codes.begin(), codes.begin() + 3),
            Codes(GuiSite::Facilities(1, 3)));
  EXPECT_EQ(ScratchFilesIn(h.site.db_folder()), 0);
  ExpectIdleLook(
      QString::fromUtf8("中断しました。%1 件を保存しています（result.csv）").arg(codes.size()));
}

TEST_F(RunControlTest, CancelPressedTwiceReturnsToIdleAtOnceAndANewRunIsUndisturbed) {
  h.site.SetFivePages();
  h.site.HoldNext(GuiSite::Pairs()[1]);
  h.TickFirstOfEach();
  h.Start("first");
  ASSERT_TRUE(h.WaitHolding());

  h.dialogs.setNextAnswer(kIdYes);
  h.Button("btnCancel")->click();
  h.Button("btnCancel")->click();  // the worker is still waiting for its page
  EXPECT_TRUE(h.Idle());
  EXPECT_FALSE(h.window().hasWorker());
  EXPECT_EQ(BoxTexts(), (std::vector<QString>{kCancelQuestion}));
  // What the window last heard of: none, or some of the first entry's three
  // facilities, as far as its news had come.
  const QString status = h.Find<QLabel>("lblStatus")->text();
  EXPECT_TRUE(status == QString::fromUtf8("中断しました。") ||
              QRegularExpression(
                  QString::fromUtf8("^中断しました。[123] 件を保存しています（first\\.csv）$"))
                  .match(status)
                  .hasMatch())
      << status.toStdString();
  ExpectIdleLook(status);

  // A new run at once, while the site still holds the old request.
  h.dialogs.setNextAnswer(kIdNo);
  h.Start("second");
  ASSERT_TRUE(h.WaitIdle());
  EXPECT_EQ(BoxTexts(),
            (std::vector<QString>{kCancelQuestion, Done(5, h.site.File("second.csv"))}));
  EXPECT_EQ(CsvCodes(h.site.File("second.csv")), Codes(GuiSite::Facilities(1, 5)));
  EXPECT_EQ(CsvCodes(h.site.File("first.csv")), Codes(GuiSite::Facilities(1, 3)));
}

TEST_F(RunControlTest, ClosingDuringARunAnsweredNoKeepsItGoing) {
  ASSERT_NO_FATAL_FAILURE(StartRunHeldAtSecondPage());

  h.dialogs.setNextAnswer(kIdNo);
  EXPECT_FALSE(h.window().close());
  EXPECT_TRUE(h.window().isVisible());
  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  EXPECT_EQ(h.dialogs.boxes[0].text, kCloseQuestion);
  EXPECT_EQ(h.dialogs.boxes[0].title, QString::fromUtf8("終了確認"));
  EXPECT_EQ(h.dialogs.boxes[0].style, 0x40024u);

  h.dialogs.setNextAnswer(kIdNo);
  h.site.Release();
  ASSERT_TRUE(h.WaitIdle());
  EXPECT_EQ(BoxTexts(), (std::vector<QString>{kCloseQuestion, Done(5, h.site.File("result.csv"))}));
  EXPECT_FALSE(h.window().terminateRequested());
}

TEST_F(RunControlTest, ClosingDuringARunAnsweredYesEndsOnceTheWorkerHasStopped) {
  ASSERT_NO_FATAL_FAILURE(StartRunHeldAtSecondPage());

  h.dialogs.setNextAnswer(kIdYes);
  EXPECT_FALSE(h.window().close());
  EXPECT_EQ(h.window().runState(), 6);
  EXPECT_FALSE(h.window().terminateRequested());
  EXPECT_FALSE(fs::exists(h.window().settingsPath()));

  h.site.Release();
  ASSERT_TRUE(QTest::qWaitFor([&] { return h.window().terminateRequested(); }, kWaitMs));
  EXPECT_EQ(BoxTexts(), (std::vector<QString>{kCloseQuestion}));
  EXPECT_FALSE(h.window().isVisible());
  EXPECT_FALSE(h.Button("btnCancel")->isEnabled());
  EXPECT_EQ(h.site.Requests(GuiSite::Pairs()[2]), 0);
  const std::string ini = ReadText(h.window().settingsPath().string());
  EXPECT_NE(ini.find("Category=1000000000"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Area=1" + std::string(46, '0')), std::string::npos) << ini;
}

TEST_F(RunControlTest, CancelDuringTheCloseEndsAtOnceWithoutWaiting) {
  ASSERT_NO_FATAL_FAILURE(StartRunHeldAtSecondPage());

  h.dialogs.setNextAnswer(kIdYes);
  h.window().close();
  EXPECT_EQ(h.window().runState(), 6);
  h.Button("btnCancel")->click();  // while the worker still waits for its page

  EXPECT_TRUE(h.window().terminateRequested());
  EXPECT_TRUE(h.site.Holding());
  EXPECT_FALSE(h.window().hasWorker());
  EXPECT_TRUE(fs::exists(h.window().settingsPath()));
  EXPECT_EQ(BoxTexts(), (std::vector<QString>{kCloseQuestion}));
}

TEST_F(RunControlTest, ARunThatFindsNothingSaysSo) {
  h.TickFirstOfEach();  // every page announces no result
  h.Start("result");
  ASSERT_TRUE(h.WaitIdle());
  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  EXPECT_EQ(h.dialogs.boxes[0].text, kNothing);
  EXPECT_EQ(h.dialogs.boxes[0].title, QString::fromUtf8("検索終了"));
  EXPECT_EQ(h.dialogs.boxes[0].style, 0x40040u);
  EXPECT_EQ(h.window().runState(), 1);
  EXPECT_EQ(valmeric::SplitLines(ReadText(h.site.File("result.csv"))),
            (std::vector<std::string>{CsvHeaderLine()}));
  ExpectIdleLook(kNothing);
}

TEST_F(RunControlTest, ASelectionTheTablesHoldNothingForIsRefusedNotReportedAsNothingFound) {
  h.Tick("lstCtgr", 1);  // category 2 has no sub-category rows
  h.Tick("lstArea", 0);
  h.Start("result");
  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  EXPECT_EQ(
      h.dialogs.boxes[0].text,
      QString::fromUtf8("選択された診療科目または都道府県の地域情報がデータベースにありません。\n"
                        "診療科目の表（T02_Category）に次の診療科目がありません。(2 外科系)"));
  EXPECT_EQ(h.dialogs.boxes[0].title, QStringLiteral("Error"));
  EXPECT_TRUE(h.Idle());
  EXPECT_FALSE(fs::exists(h.site.File("result.csv")));
}

TEST_F(RunControlTest, ASiteThatCannotBeReachedIsReported) {
  h.TickFirstOfEach();
  h.site.GoDown();
  h.Start("result");
  ASSERT_TRUE(h.WaitIdle());
  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  // The detail names the failure in Japanese, with the transfer's words after it.
  EXPECT_TRUE(h.dialogs.boxes[0].text.startsWith(
      kUnreachable + "\n" + QString::fromUtf8("サーバーに接続できませんでした。(")))
      << h.dialogs.boxes[0].text.toStdString();
  EXPECT_EQ(h.dialogs.boxes[0].title, QStringLiteral("Error"));
  EXPECT_EQ(h.dialogs.boxes[0].style, 0x40040u);
  EXPECT_EQ(h.window().runState(), 9);
  ExpectIdleLook(QString::fromUtf8("途中で終了しました。"));
}

TEST_F(RunControlTest, AnOutputFileThatCannotBeCreatedIsAnErrorNotASuccess) {
  h.site.SetFivePages();
  h.TickFirstOfEach();
  h.Start("no-such-folder/result");
  ASSERT_TRUE(h.WaitIdle());
  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  EXPECT_EQ(h.dialogs.boxes[0].title, QStringLiteral("Error"));
  EXPECT_TRUE(h.dialogs.boxes[0].text.startsWith(
      QString::fromUtf8("保存先のファイルに書き込めませんでした。\n")))
      << h.dialogs.boxes[0].text.toStdString();
  EXPECT_EQ(h.dialogs.boxes[0].style & 0xF, 0u);  // OK only: nothing to open
  EXPECT_EQ(h.window().runState(), 8);
  EXPECT_EQ(h.site.Requests(GuiSite::Pairs()[0]), 0);
  ExpectIdleLook(QString::fromUtf8("途中で終了しました。"));
}

TEST_F(RunControlTest, ADatabaseHeldByAnotherProgramKeepsTheOldFileAndTheIdleWindow) {
  h.TickFirstOfEach();
  WriteFile(h.site.File("result.csv"), "the previous run's file\r\n");
  const RunLock other_program(h.site.db_path().string());
  h.Start("result");

  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  EXPECT_TRUE(h.dialogs.boxes[0].text.startsWith(QString::fromUtf8(
      "他のプログラムがデータベースを使用中のため、取得を開始できませんでした。\n")))
      << h.dialogs.boxes[0].text.toStdString();
  EXPECT_EQ(h.dialogs.boxes[0].title, QStringLiteral("Error"));
  EXPECT_EQ(h.dialogs.boxes[0].style, 0x40040u);
  EXPECT_FALSE(h.window().hasWorker());
  EXPECT_TRUE(h.Idle());
  EXPECT_EQ(ReadText(h.site.File("result.csv")), "the previous run's file\r\n");
  EXPECT_EQ(h.site.Requests(GuiSite::Pairs()[0]), 0);
}

TEST(ConfigCheckTest, AMissingDatabaseIsReportedOnceAndEndsTheApplication) {
  WindowHarness h(true, [](GuiSite& site) {
    fs::remove(site.db_path());
    WriteFile(site.db_folder().string() + "/hpt.ini", "[Config]\nCategory=1111111111\n");
  });
  ASSERT_TRUE(h.window().terminateRequested());
  QTest::qWait(50);
  ASSERT_EQ(h.dialogs.boxes.size(), 1u);
  EXPECT_EQ(
      h.dialogs.boxes[0].text,
      QString::fromUtf8("DBファイルの設定が正しくありません。\n管理者に確認してください。\n") +
          QString::fromStdString(fs::absolute(h.site.db_path()).string()) +
          QString::fromUtf8("（ファイルがありません）"));
  EXPECT_EQ(h.dialogs.boxes[0].title, QString::fromUtf8("設定エラー"));
  EXPECT_EQ(h.dialogs.boxes[0].style, 0x40040u);
  EXPECT_FALSE(h.window().dbReady());
  // The settings are neither read nor written.
  EXPECT_FALSE(h.Check("chkCtgr")->isChecked());
  EXPECT_EQ(ReadText(h.site.db_folder().string() + "/hpt.ini"), "[Config]\nCategory=1111111111\n");
}

TEST_F(RunControlTest, CancelledThenResumedAtTheNextStartTheFileIsThatOfAWholeRun) {
  h.site.SetFivePages();
  h.TickFirstOfEach();
  h.dialogs.setNextAnswer(kIdNo);
  h.Start("whole");
  ASSERT_TRUE(h.WaitIdle());
  const std::string whole = ReadText(h.site.File("whole.csv"));

  h.site.HoldNext(GuiSite::Pairs()[1]);
  h.Start("result");
  ASSERT_TRUE(h.WaitHolding());
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return h.Find<QProgressBar>("prgBar")->value() == 2; }, kWaitMs));
  h.dialogs.setNextAnswer(kIdYes);
  h.Button("btnCancel")->click();
  // Released only once the run has stopped: the transfer is cut while it is
  // still held, so the second entry is taken back (a page that had arrived
  // would be kept).
  ASSERT_TRUE(h.WaitIdle());
  h.site.Release();
  h.TickFirstOfEach();  // unticked now: the ticks saved at closing are none

  h.dialogs.boxes.clear();
  h.dialogs.setNextAnswer(kIdYes);  // resume
  h.dialogs.setNextAnswer(kIdNo);   // open the file
  h.Restart();
  ASSERT_FALSE(h.dialogs.boxes.empty());
  EXPECT_EQ(h.dialogs.boxes[0].text,
            QString::fromUtf8("前回の取得は途中で終了しています。続きから再開しますか？\n") +
                QString::fromStdString(fs::absolute(h.site.File("result.csv")).string()) +
                QString::fromUtf8("\n4 ページ中 1 ページ処理済み"));
  EXPECT_EQ(h.dialogs.boxes[0].style, 0x40024u);
  EXPECT_EQ(h.List("lstCtgr")->item(0)->checkState(), Qt::Checked);
  EXPECT_EQ(h.List("lstArea")->item(0)->checkState(), Qt::Checked);
  ASSERT_TRUE(h.WaitIdle());
  EXPECT_EQ(BoxTexts().back(), Done(5, h.site.File("result.csv")));
  EXPECT_EQ(ReadText(h.site.File("result.csv")), whole);
  EXPECT_EQ(h.site.Requests(GuiSite::Pairs()[0]),
            2);  // once per run: the resume began at the second
}

}  // namespace
}  // namespace valmeric::test

#include "run_control_test.moc"
