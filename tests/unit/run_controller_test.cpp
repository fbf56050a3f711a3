// The window's run control without a window: starting, cancelling, closing
// and the end of a run, against the small site held in memory.

#include "engine/run_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <limits>
#include <mutex>

#include "common/platform/native_file.h"
#include "common/platform/utf8_path.h"
#include "common/text/sjis_text.h"
#include "refdb/run_lock.h"
#include "support/memory_site.h"
#include "support/named_case.h"
#include "support/temp_dir.h"
#include "support/test_database.h"
#include "support/worker_run.h"

namespace valmeric {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::MemorySite;

constexpr auto kWait = 20s;

// Records what the controller shows and answers its questions from a queue.
class FakeView final : public RunView {
 public:
  Selection TickedSelection() override { return selection; }
  void RestoreSelection(const Selection& restored) override { selection = restored; }
  int ShowMessage(const UserMessage& message) override {
    shown.push_back(message);
    if ((message.style & 0xF) != mb::kYesNo) return kIdOk;
    if (on_question) on_question();
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << message.text;
      return kIdNo;
    }
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<ChosenFile> AskOutputFile(const std::string& initial_name) override {
    proposed_name = initial_name;
    if (!output) return std::nullopt;
    return ChosenFile{*output, workbook};
  }
  void ShowRunningLook() override { running_look = true; }
  void RestoreCursor() override {}
  void ShowIdleLook() override {
    running_look = false;
    ++idle_looks;
  }
  void InitProgress(int maximum) override { progress_maximum = maximum; }
  void SetProgress(int position) override {
    progress = position;
    progress_steps.push_back(position);
  }
  void ShowStatus(const std::string& text) override { status = text; }
  void AlertRunDone() override { ++alerts; }
  bool OpenFile(const std::string& path) override {
    opened.push_back(path);
    return opener_found;
  }
  void SaveSettings() override { ++settings_saved; }
  void Quit() override { quit = true; }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : shown) texts.push_back(m.text);
    return texts;
  }

  Selection selection{{1}, {1}};
  std::optional<std::string> output;
  bool workbook = false;  // the Excel type chosen in the save dialog
  std::deque<int> answers;
  std::function<void()> on_question;  // runs before a question is answered
  std::string proposed_name;
  std::vector<UserMessage> shown;
  bool running_look = false;
  int idle_looks = 0;
  int progress_maximum = -1;
  int progress = 0;
  std::vector<int> progress_steps;
  std::string status;
  int alerts = 0;
  std::vector<std::string> opened;
  bool opener_found = true;  // what OpenFile reports
  int settings_saved = 0;
  bool quit = false;
};

class RunControllerTest : public ::testing::Test {
 protected:
  RunControllerTest() {
    view_.output = site_.File("result");
    settings_.pages = site_.source();
    settings_.page_pause = 0ms;
  }

  RunController& Controller() {
    if (!controller_) {
      controller_.emplace(view_, site_.db_path(), settings_, [this] {
        {
          std::lock_guard lock(mutex_);
          woken_ = true;
        }
        wake_.notify_all();
      });
    }
    return *controller_;
  }

  // Lets the window's thread take the run's news until done() holds.
  bool PollUntil(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + kWait;
    while (!done()) {
      if (std::chrono::steady_clock::now() > until) return false;
      {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, 50ms, [this] { return woken_; });
        woken_ = false;
      }
      Controller().Poll();
    }
    return true;
  }
  bool PollUntilIdle() {
    return PollUntil([this] { return !Controller().running() && !view_.running_look; });
  }

  std::string Csv() { return test::ReadFile(CsvPath()); }
  std::string CsvPath() { return site_.File("result.csv"); }
  std::string FullCsvPath() { return fs::absolute(CsvPath()).string(); }
  std::string Saved(int facilities) { return SavedText(facilities, FullCsvPath()); }

  MemorySite site_;
  RunSettings settings_;
  FakeView view_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
  std::optional<RunController> controller_;
};

TEST_F(RunControllerTest, AFinishedRunAsksToOpenItsFileAndReturnsToIdle) {
  site_.SetPage(MemorySite::Pairs()[0], 3, MemorySite::Facilities(1, 3));
  view_.answers = {kIdYes};
  Controller().ActionClick();
  EXPECT_EQ(view_.proposed_name, "病院施設一覧.csv");
  EXPECT_TRUE(view_.running_look);
  ASSERT_TRUE(PollUntilIdle());

  EXPECT_EQ(Controller().run_state(), RunController::kRunStarted);
  EXPECT_EQ(view_.Texts(), std::vector<std::string>{DoneQuestion(3, FullCsvPath())});
  EXPECT_EQ(view_.shown[0].style, 0x40124u);
  EXPECT_EQ(view_.status, SavedText(3, "result.csv"));
  EXPECT_EQ(view_.opened, std::vector<std::string>{site_.File("result.csv")});
  EXPECT_EQ(view_.progress_maximum, 4);
  EXPECT_EQ(view_.progress, 4);
  EXPECT_EQ(view_.alerts, 1);
  EXPECT_EQ(Controller().last_outcome().progress.facilities_written, 3);
}

// The Excel type in the save dialog: the run writes the CSV of that name, the
// workbook at its end, and Yes opens the workbook. A workbook that cannot be
// written is told, and Yes opens the CSV.
TEST_F(RunControllerTest, TheWorkbookTypeMakesTheWorkbookAtTheEndAndOpensIt) {
  const struct {
    const char* name;
    bool folder_in_the_way;  // a folder bears the workbook's name
  } cases[] = {{"Written", false}, {"Refused", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    controller_.reset();
    view_ = FakeView();
    // Chosen as "result.XLSX": the CSV is result.csv, the workbook result.xlsx.
    const std::string stem = FullCsvPath().substr(0, FullCsvPath().size() - 4);
    const std::string book = stem + ".xlsx";
    fs::remove(book);
    if (c.folder_in_the_way) fs::create_directories(book);
    view_.output = stem + ".XLSX";
    view_.workbook = true;
    site_.SetPage(MemorySite::Pairs()[0], 3, MemorySite::Facilities(1, 3));
    view_.answers = {kIdYes};
    Controller().ActionClick();
    ASSERT_TRUE(PollUntilIdle());
    EXPECT_EQ(Controller().output_path(), CsvPath());
    ASSERT_TRUE(Controller().workbook());
    ASSERT_EQ(view_.shown.size(), 1u);
    const std::string& question = view_.shown[0].text;
    if (c.folder_in_the_way) {
      EXPECT_NE(question.find("Excel ブックを書き出せませんでした。"), std::string::npos)
          << question;
      EXPECT_EQ(view_.opened, std::vector<std::string>{CsvPath()});
      fs::remove_all(book);
    } else {
      EXPECT_EQ(test::ReadFile(book).substr(0, 2), "PK");
      EXPECT_EQ(question, WithDetail(WithDetail(WithDetail(msg::kDone, Saved(3)),
                                                "Excel ブックを書き出しました: " + book),
                                     msg::kOpenQuestion));
      EXPECT_EQ(view_.opened, std::vector<std::string>{book});
    }
  }
}

TEST_F(RunControllerTest, TheEndOfARefreshNamesTheKeptListAndWhatChanged) {
  site_.SetPage(MemorySite::Pairs()[0], 3, MemorySite::Facilities(1, 3));
  view_.answers = {kIdNo};
  Controller().ActionClick();
  ASSERT_TRUE(PollUntilIdle());
  const std::string last_month = Csv();
  const std::optional<std::string> day = ModifiedDayOfFile(CsvPath());
  ASSERT_TRUE(day);
  // A month later facility 1 is gone and 4 is new.
  site_.SetPage(MemorySite::Pairs()[0], 3, MemorySite::Facilities(2, 4));
  view_.answers = {kIdNo};
  Controller().ActionClick();
  ASSERT_TRUE(PollUntilIdle());

  const std::string kept = "result_" + *day + ".csv";
  EXPECT_EQ(
      view_.shown.back().text,
      "事業所情報の取得が完了しました。\n" + Saved(3) + "\n前回のファイルは " + kept +
          " として同じフォルダーに残しています。\n前回から 新規 1 件・変更 0 件・廃止 1 "
          "件。変更点を result_変更点.csv に書き出しました。\n保存したファイルを開きますか？");
  EXPECT_EQ(test::ReadFile(site_.File(kept)), last_month);
  EXPECT_TRUE(fs::exists(PathFromUtf8(site_.File("result_変更点.csv"))));
}

TEST_F(RunControllerTest, WithoutAProgramToOpenTheFileTheWindowSaysSoAndNamesIt) {
  site_.SetPage(MemorySite::Pairs()[0], 1, MemorySite::Facilities(1, 1));
  view_.answers = {kIdYes};
  view_.opener_found = false;
  Controller().ActionClick();
  ASSERT_TRUE(PollUntilIdle());

  EXPECT_EQ(view_.opened, std::vector<std::string>{site_.File("result.csv")});
  ASSERT_EQ(view_.shown.size(), 2u);
  EXPECT_EQ(view_.shown[1].text,
            "ファイルを開くプログラムが見つかりませんでした。\n" + site_.File("result.csv"));
  EXPECT_EQ(view_.shown[1].title, "Error");
  EXPECT_EQ(view_.shown[1].style, 0x40040u);
  EXPECT_EQ(view_.idle_looks, 1);
}

// A start the database refuses leaves the window idle, says why in Japanese
// with the detail below, and never touches the old output file.
struct RefusedStartCase {
  const char* name;
  std::function<std::unique_ptr<RunLock>(MemorySite&)> spoil;
  const char* text;
  const char* title;
};
VALMERIC_PRINT_CASE_BY_NAME(RefusedStartCase)

class RefusedStartTest : public RunControllerTest,
                         public ::testing::WithParamInterface<RefusedStartCase> {};

TEST_P(RefusedStartTest, KeepsTheOldFileAndTheIdleWindow) {
  test::WriteFile(site_.File("result.csv"), "the previous run's file\r\n");
  const auto held = GetParam().spoil(site_);
  Controller().ActionClick();

  ASSERT_EQ(view_.shown.size(), 1u);
  EXPECT_EQ(view_.shown[0].text.rfind(GetParam().text, 0), 0u) << view_.shown[0].text;
  EXPECT_EQ(view_.shown[0].title, GetParam().title);
  EXPECT_EQ(view_.shown[0].style, 0x40040u);
  EXPECT_FALSE(view_.running_look);
  EXPECT_FALSE(Controller().running());
  EXPECT_EQ(Csv(), "the previous run's file\r\n");
  EXPECT_EQ(site_.ResultRequests(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Database, RefusedStartTest,
    ::testing::Values(RefusedStartCase{"HeldByAnotherRun",
                                       [](MemorySite& site) {
                                         return std::make_unique<RunLock>(site.db_path());
                                       },
                                       "他のプログラムがデータベースを使用中のため", "Error"},
                      RefusedStartCase{"AnotherDatabasesWal",
                                       [](MemorySite& site) {
                                         test::WriteFile(
                                             site.db_path() + "-wal",
                                             test::AnotherDatabasesWal(site.File("another.db")));
                                         return nullptr;
                                       },
                                       "データベースを読み込めませんでした。\n"
                                       "このデータベースのものではない -wal ファイル",
                                       "Error"},
                      RefusedStartCase{"NotADatabase",
                                       [](MemorySite& site) {
                                         test::WriteFile(site.db_path(), std::string(4096, 'x'));
                                         return nullptr;
                                       },
                                       "データベースを読み込めませんでした。\n", "Error"},
                      RefusedStartCase{"Missing",
                                       [](MemorySite& site) {
                                         fs::remove(site.db_path());
                                         return nullptr;
                                       },
                                       "DBファイルの設定が正しくありません。", "設定エラー"}),
    [](const auto& info) { return std::string(info.param.name); });

// How a run that did not get every page ends: never as a plain success. A run
// that finished offers to fetch the missing pages again (answered no here),
// then to open its file; entries that failed in a row at the end of a run the
// site stopped are left for a resume, not counted as not fetched.
struct GapCase {
  const char* name;
  std::vector<int> failing;  // plan entries whose page never comes (of 4)
  int state;
  int not_fetched;
  int entries_done;
  int status = 503;       // what the site answers for them
  int gone = 0;           // of them, pages that do not exist on a site that answers
  int list_status = 200;  // the sub-category list page's answer: whether the site itself is up
};
VALMERIC_PRINT_CASE_BY_NAME(GapCase)

class GapTest : public RunControllerTest, public ::testing::WithParamInterface<GapCase> {};

TEST_P(GapTest, TheEndSaysHowManyPagesAreMissing) {
  site_.SetPage(MemorySite::Pairs()[0], 2, MemorySite::Facilities(1, 2));
  site_.SetPage(MemorySite::Pairs()[2], 2, MemorySite::Facilities(3, 4));
  for (int entry : GetParam().failing)
    site_.FailPair(MemorySite::Pairs()[entry], GetParam().status);
  if (GetParam().list_status != 200) site_.FailSubCategoryList(GetParam().list_status);
  view_.answers = {kIdNo, kIdNo};
  Controller().ActionClick();
  ASSERT_TRUE(PollUntilIdle());

  EXPECT_EQ(Controller().run_state(), GetParam().state);
  EXPECT_EQ(Controller().last_outcome().progress.not_fetched, GetParam().not_fetched);
  EXPECT_EQ(Controller().last_outcome().progress.gone, GetParam().gone);
  EXPECT_EQ(Controller().last_outcome().progress.entries_done, GetParam().entries_done);
  ASSERT_FALSE(view_.shown.empty());
  if (GetParam().state == RunController::kRunIncomplete) {
    ASSERT_EQ(view_.Texts().size(), 2u);
    EXPECT_EQ(
        view_.shown[0].text,
        WithDetail(IncompleteText(GetParam().not_fetched, GetParam().gone), msg::kRetryQuestion));
    EXPECT_EQ(view_.shown[0].style, 0x40024u);
    const int written = Controller().last_outcome().progress.facilities_written;
    EXPECT_EQ(view_.shown[1].text, WithDetail(Saved(written), msg::kOpenQuestion));
    EXPECT_TRUE(view_.opened.empty());
    EXPECT_EQ(view_.status, SavedText(written, "result.csv"));
  } else {
    EXPECT_EQ(view_.status,
              StoppedStatus(false, Controller().last_outcome().progress.facilities_written,
                            "result.csv"));
    ASSERT_EQ(view_.shown.size(), 1u);
    EXPECT_EQ(view_.shown[0].text.rfind(msg::kUnreachable, 0), 0u) << view_.shown[0].text;
    EXPECT_NE(view_.shown[0].text.find("(HTTP " + std::to_string(GetParam().status) + ")"),
              std::string::npos)
        << view_.shown[0].text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, GapTest,
    ::testing::Values(
        GapCase{"LastEntry", {3}, RunController::kRunIncomplete, 1, 4},
        GapCase{"LastTwoEntries", {2, 3}, RunController::kRunIncomplete, 2, 4},
        GapCase{"Alternating", {1, 3}, RunController::kRunIncomplete, 2, 4},
        GapCase{"ThreeInARow", {1, 2, 3}, RunController::kSiteUnreachable, 0, 1, 503, 0, 503},
        // Three failures in a row on a site whose list page still answers: the run goes on.
        GapCase{"ThreeInARowOnALiveSite", {1, 2, 3}, RunController::kRunIncomplete, 3, 4},
        GapCase{"EveryEntry", {0, 1, 2, 3}, RunController::kSiteUnreachable, 0, 0, 503, 0, 503},
        GapCase{"ForbiddenEverywhere",
                {0, 1, 2, 3},
                RunController::kSiteUnreachable,
                0,
                0,
                403,
                0,
                403},
        GapCase{"NotFoundOnTheLastEntry", {3}, RunController::kRunIncomplete, 0, 4, 404, 1},
        GapCase{"ThreeNotFoundInARowOnALiveSite",
                {1, 2, 3},
                RunController::kRunIncomplete,
                0,
                4,
                404,
                3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunControllerTest, AOneEntryPlanOnADeadSiteIsUnreachableNotNothingFound) {
  view_.selection = {{9}, {2}};  // the one city of prefecture 2 with category 9's one sub-category
  site_.GoDown();
  Controller().ActionClick();
  ASSERT_TRUE(PollUntilIdle());
  EXPECT_EQ(Controller().last_outcome().progress.entries_total, 1);
  EXPECT_EQ(Controller().run_state(), RunController::kSiteUnreachable);
}

// Cancel and close while a page is on its way: the wait is cut short, and
// the window is idle (or gone) at once.
TEST_F(RunControllerTest, CancelAndCloseCutAStalledTransferShort) {
  struct Case {
    const char* name;
    std::function<void(RunController&)> act;
    int state;
    bool quit;
  };
  const Case cases[] = {
      {"Cancel", [](RunController& c) { c.CancelClick(); }, RunController::kRunCancelled, false},
      {"Close", [](RunController& c) { EXPECT_FALSE(c.CloseQuery()); }, RunController::kClosing,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    controller_.reset();
    view_ = FakeView();
    view_.output = site_.File("result");
    site_.DelayNext(1, 30000);
    Controller().ActionClick();
    ASSERT_TRUE(PollUntil([&] { return site_.ResultRequests() > 0 && view_.progress == 1; }));
    view_.answers = {kIdYes};
    const auto asked = std::chrono::steady_clock::now();
    c.act(Controller());
    EXPECT_EQ(Controller().run_state(), c.state);
    ASSERT_TRUE(PollUntil([&] { return !Controller().running(); }));
    const auto took = std::chrono::steady_clock::now() - asked;
    EXPECT_LT(took, 1s);
    std::printf("%s: from the answer to the worker's end: %lld ms\n", c.name,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    EXPECT_EQ(view_.quit, c.quit);
    EXPECT_EQ(view_.settings_saved, c.quit ? 1 : 0);
    EXPECT_EQ(view_.Texts().size(), 1u);  // the question only: no outcome message
    if (!c.quit) {
      EXPECT_EQ(view_.status, "中断しました。");
    }
    EXPECT_EQ(Controller().last_outcome().progress.entries_done, 0);
    site_.DelayNext(0, 0);
  }
}

TEST_F(RunControllerTest, CancelPressedTwiceReturnsToIdleAtOnceAndANewRunStarts) {
  site_.DelayNext(1, 30000);
  Controller().ActionClick();
  ASSERT_TRUE(PollUntil([&] { return site_.ResultRequests() > 0; }));
  view_.answers = {kIdYes};
  Controller().CancelClick();
  Controller().CancelClick();  // before the worker's end has been seen
  EXPECT_FALSE(Controller().running());
  EXPECT_FALSE(view_.running_look);
  EXPECT_EQ(view_.Texts(), std::vector<std::string>{msg::kCancelQuestion});
  EXPECT_EQ(view_.status, "中断しました。");

  site_.SetPage(MemorySite::Pairs()[1], 1, MemorySite::Facilities(7, 7));
  view_.answers = {kIdNo};
  Controller().ActionClick();
  ASSERT_TRUE(PollUntilIdle());
  EXPECT_EQ(Controller().run_state(), RunController::kRunStarted);
  EXPECT_NE(Csv().find(MemorySite::Facilities(7, 7)[0].code), std::string::npos);
}

TEST_F(RunControllerTest, CancelAnsweredNoLeavesTheRunAlone) {
  site_.SetPage(MemorySite::Pairs()[3], 1, MemorySite::Facilities(1, 1));
  site_.DelayNext(1, 300);
  Controller().ActionClick();
  ASSERT_TRUE(PollUntil([&] { return site_.ResultRequests() > 0; }));
  view_.answers = {kIdNo, kIdNo};
  Controller().CancelClick();
  EXPECT_EQ(Controller().run_state(), RunController::kRunStarted);
  ASSERT_TRUE(PollUntilIdle());
  EXPECT_EQ(view_.Texts(),
            (std::vector<std::string>{msg::kCancelQuestion, DoneQuestion(1, FullCsvPath())}));
}

// A run cancelled at its third entry is offered at the next start; yes
// restores its ticks and goes on from there, to the bytes of a run that was
// never stopped.
class ResumeAtStartTest : public RunControllerTest {
 protected:
  void SetUp() override {
    for (size_t i = 0; i < MemorySite::Pairs().size(); ++i) {
      const int first = static_cast<int>(i) * 2 + 1;
      site_.SetPage(MemorySite::Pairs()[i], 3, MemorySite::Facilities(first, first + 2));
    }
    view_.output = site_.File("full");
    view_.answers = {kIdNo};
    Controller().ActionClick();
    ASSERT_TRUE(PollUntilIdle());
    full_ = test::ReadFile(site_.File("full.csv"));

    // The same run, cancelled while the third entry's page is on its way.
    NewWindow();
    view_.selection = {{1}, {1}};
    view_.output = site_.File("result");
    site_.DelayPair(MemorySite::Pairs()[2], 30000);
    const int requests_before = site_.ResultRequests();
    Controller().ActionClick();
    // The bar moves when the third entry starts, before its page is asked
    // for: cancelling only once the site has the request makes it the
    // stalled page the resume asks for again.
    ASSERT_TRUE(PollUntil(
        [&] { return view_.progress == 3 && site_.ResultRequests() == requests_before + 3; }));
    view_.answers = {kIdYes};
    Controller().CancelClick();
    ASSERT_TRUE(PollUntilIdle());
    // Entries 1 and 2: facilities 1 to 3 and 3 to 5.
    EXPECT_EQ(view_.status, StoppedStatus(true, 5, "result.csv"));
    site_.HealPairs();
  }

  // A window started anew on the same database, with no ticks.
  void NewWindow() {
    controller_.reset();
    view_ = FakeView();
    view_.selection = {};
  }

  std::string full_;
};

TEST_F(ResumeAtStartTest, YesRestoresTheTicksAndFinishesFromWhereItStopped) {
  NewWindow();
  view_.answers = {kIdYes, kIdNo};
  Controller().StartupCheck();
  ASSERT_FALSE(view_.shown.empty());
  EXPECT_EQ(view_.shown[0].text,
            WithDetail(msg::kResumeQuestion, ResumeDetail(fs::absolute(CsvPath()).string(), 2, 4)));
  EXPECT_EQ(view_.shown[0].title, msg::kResumeTitle);
  EXPECT_EQ(view_.shown[0].style, 0x40024u);
  EXPECT_EQ(view_.selection.categories, std::vector<int>{1});
  EXPECT_EQ(view_.selection.prefectures, std::vector<int>{1});
  ASSERT_TRUE(PollUntilIdle());
  EXPECT_EQ(view_.progress_maximum, 4);
  ASSERT_FALSE(view_.progress_steps.empty());
  // The bar starts at the entries already done, never at 0, and only goes
  // on. The window sees the latest position when it polls, which may already
  // be the next entry's: the first step is 2 or more, not exactly 2.
  EXPECT_GE(view_.progress_steps.front(), 2);
  EXPECT_TRUE(std::is_sorted(view_.progress_steps.begin(), view_.progress_steps.end()));
  EXPECT_EQ(view_.progress, 4);
  EXPECT_EQ(Controller().run_state(), RunController::kRunStarted);
  EXPECT_EQ(view_.Texts().back(), DoneQuestion(9, FullCsvPath()));
  EXPECT_EQ(test::ReadFile(CsvPath()), full_);
  EXPECT_EQ(site_.ResultRequests(), 4 + 3 + 2);  // the stalled third page is asked for again
}

TEST_F(ResumeAtStartTest, NoKeepsTheRecordUntilTheNextStartDropsIt) {
  NewWindow();
  view_.answers = {kIdNo};
  Controller().StartupCheck();
  EXPECT_EQ(view_.Texts().size(), 1u);
  EXPECT_FALSE(Controller().running());
  ASSERT_TRUE(ReadRecordedRun(site_.db_path())->Resumable());

  NewWindow();
  view_.answers = {kIdNo, kIdNo};
  Controller().StartupCheck();  // asked again at the next start
  view_.selection = {{1}, {1}};
  view_.output = site_.File("other");
  Controller().ActionClick();
  ASSERT_TRUE(PollUntilIdle());
  const auto recorded = ReadRecordedRun(site_.db_path());
  ASSERT_TRUE(recorded);
  EXPECT_FALSE(recorded->Resumable());
  EXPECT_EQ(recorded->output_path, fs::absolute(site_.File("other.csv")).string());

  NewWindow();
  Controller().StartupCheck();  // nothing unfinished: no question
  EXPECT_TRUE(view_.shown.empty());
}

TEST_F(RunControllerTest, TheEndOffersToFetchTheMissingPagesAgainAndYesFetchesThem) {
  site_.SetPage(MemorySite::Pairs()[0], 2, MemorySite::Facilities(1, 2));
  site_.SetPage(MemorySite::Pairs()[3], 3, MemorySite::Facilities(2, 4));
  site_.FailPair(MemorySite::Pairs()[3], 503);
  view_.answers = {kIdYes, kIdNo};
  view_.on_question = [this] { site_.HealPairs(); };
  Controller().ActionClick();
  ASSERT_TRUE(PollUntilIdle());
  ASSERT_EQ(view_.Texts().size(), 2u);
  EXPECT_EQ(view_.Texts()[0], WithDetail(IncompleteText(1), msg::kRetryQuestion));
  EXPECT_EQ(view_.Texts()[1], DoneQuestion(4, FullCsvPath()));
  EXPECT_EQ(Controller().run_state(), RunController::kRunStarted);
  EXPECT_EQ(Controller().last_outcome().progress.not_fetched, 0);
  EXPECT_EQ(view_.progress_maximum, 1);  // the retry walks the one missing entry
  std::vector<std::string> codes;
  const auto lines = SplitLines(Csv());
  for (size_t i = 1; i < lines.size(); ++i)
    codes.push_back(lines[i].substr(1, lines[i].find('"', 1) - 1));
  std::vector<std::string> want;
  for (const auto& f : MemorySite::Facilities(1, 4)) want.push_back(f.code);
  EXPECT_EQ(codes, want);  // 2 once, though both pages list it
}

TEST_F(RunControllerTest, TheEndTellsHowManyFacilitiesTheFirstPagesCouldNotHold) {
  site_.SetPage(MemorySite::Pairs()[0], 25, MemorySite::Facilities(1, 20));
  site_.SetPage(MemorySite::Pairs()[1], 3, MemorySite::Facilities(1, 3));
  site_.SetPage(MemorySite::Pairs()[2], 21, MemorySite::Facilities(30, 49));
  view_.answers = {kIdNo, kIdNo};  // no later pages, no opening
  Controller().ActionClick();
  ASSERT_TRUE(PollUntilIdle());
  EXPECT_EQ(Controller().last_outcome().progress.beyond_first_page, 6);
  EXPECT_EQ(Controller().last_outcome().progress.beyond_pairs, 2);
  EXPECT_EQ(view_.Texts(),
            (std::vector<std::string>{
                WithDetail(WithDetail(msg::kDone, Saved(40)),
                           LaterPagesLeftText(6) + msg::kMorePagesQuestion),
                WithDetail(WithDetail(WithDetail(msg::kDone, Saved(40)), BeyondFirstPageText(6, 2)),
                           msg::kOpenQuestion)}));
  EXPECT_EQ(ReadRecordedRun(site_.db_path())->progress.beyond_first_page, 6);
}

// Yes to the later pages: they are read into the same file, and the end of
// that pass offers to open it.
TEST_F(RunControllerTest, YesToTheLaterPagesReadsThemIntoTheSameFile) {
  const std::string pair = MemorySite::Pairs()[0];
  site_.SetPage(pair, 25, MemorySite::Facilities(1, 20), "?page=2");
  site_.SetPage(pair + "?page=2", 25, MemorySite::Facilities(21, 25));
  view_.answers = {kIdYes, kIdNo};
  Controller().ActionClick();
  ASSERT_TRUE(PollUntilIdle());
  EXPECT_EQ(view_.Texts(),
            (std::vector<std::string>{WithDetail(WithDetail(msg::kDone, Saved(20)),
                                                 LaterPagesLeftText(5) + msg::kMorePagesQuestion),
                                      DoneQuestion(25, FullCsvPath())}));
  EXPECT_EQ(test::WrittenCodes(CsvPath()), test::CodesOf(MemorySite::Facilities(1, 25)));
  EXPECT_EQ(ReadRecordedRun(site_.db_path())->progress.beyond_pairs, 0);
}

// Counts near the top of int, announced by page after page, add up to the
// most an int holds, never to a wrapped-around negative count.
TEST_F(RunControllerTest, TheCountBeyondTheFirstPagesStopsAtTheMostItCanHold) {
  constexpr int kMost = std::numeric_limits<int>::max();
  site_.SetPage(MemorySite::Pairs()[0], kMost, MemorySite::Facilities(1, 1));
  site_.SetPage(MemorySite::Pairs()[1], kMost, MemorySite::Facilities(2, 2));
  view_.answers = {kIdNo, kIdNo};
  Controller().ActionClick();
  ASSERT_TRUE(PollUntilIdle());
  EXPECT_EQ(Controller().last_outcome().progress.beyond_first_page, kMost);
  EXPECT_EQ(Controller().last_outcome().progress.beyond_pairs, 2);
  EXPECT_EQ(ReadRecordedRun(site_.db_path())->progress.beyond_first_page, kMost);
}

// An entry the page lists without a usable code is no facility left for a
// later page.
TEST_F(RunControllerTest, AnEntryWithoutAUsableCodeIsNotCountedBeyondTheFirstPage) {
  auto facilities = MemorySite::Facilities(1, 3);
  facilities[1].code = "a b";
  site_.SetPage(MemorySite::Pairs()[0], 3, facilities);
  view_.answers = {kIdNo};
  Controller().ActionClick();
  ASSERT_TRUE(PollUntilIdle());
  EXPECT_EQ(Controller().last_outcome().progress.beyond_first_page, 0);
  EXPECT_EQ(Controller().last_outcome().progress.beyond_pairs, 0);
}

}  // namespace
}  // namespace valmeric
