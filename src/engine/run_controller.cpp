#include "engine/run_controller.h"

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "common/platform/utf8_path.h"
#include "common/text/text_encoding.h"
#include "engine/output_file_name.h"
#include "messages/run_messages.h"
#include "messages/workbook_text.h"
#include "refdb/run_lock.h"

namespace valmeric {

namespace {

// The CSV a choice in the save dialog runs into: with the workbook's type,
// the name's ".xlsx" (in any letter case) becomes ".csv".
std::string CsvPathOfChoice(const RunView::ChosenFile& chosen) {
  const std::string& path = chosen.path;
  constexpr std::string_view kXlsx = ".xlsx";
  if (!chosen.workbook || !HasExtension(path, kXlsx)) return path;
  return path.substr(0, path.size() - kXlsx.size()) + ".csv";
}

}  // namespace

int StateForOutcome(const RunOutcome& outcome) {
  switch (outcome.kind) {
    case Outcome::kCompleted:
      return RunController::kRunStarted;
    case Outcome::kNothingFound:
      return RunController::kRunNothing;
    case Outcome::kIncomplete:
      return RunController::kRunIncomplete;
    case Outcome::kSiteUnreachable:
      return RunController::kSiteUnreachable;
    case Outcome::kCancelled:
      return RunController::kRunCancelled;
    case Outcome::kFailed:
      break;
  }
  return RunController::kRunFailed;
}

RunController::RunController(RunView& view, std::filesystem::path database_path,
                             RunSettings settings, std::function<void()> wake)
    : view_(view),
      database_path_(std::move(database_path)),
      settings_(std::move(settings)),
      wake_(std::move(wake)) {}

RunController::~RunController() {
  DropRun();
}

int RunController::Ask(const std::string& text, const char* title, unsigned style) {
  return view_.ShowMessage({text, title, style});
}

void RunController::StartupCheck() {
  if (session_) return;
  std::optional<RecordedRun> recorded;
  try {
    recorded = ReadRecordedRun(database_path_, RecordRead::kMayRecover);
  } catch (const DbError&) {
    return;  // a database that cannot be read is reported when a run starts
  }
  if (!recorded || !recorded->Resumable()) return;
  try {
    RunLock probe(Utf8FromPath(database_path_));
  } catch (const std::exception&) {
    return;  // another process is running it now
  }
  const std::string detail = ResumeDetail(recorded->output_path, recorded->progress.next_entry,
                                          std::max(recorded->progress.plan_size, 0));
  if (Ask(WithDetail(msg::kResumeQuestion, detail), msg::kResumeTitle, mb::kConfirm) != kIdYes)
    return;
  // A run whose workbook is there gets it made again at its end.
  std::error_code error;
  wants_workbook_ =
      std::filesystem::exists(PathFromUtf8(WorkbookPathFor(recorded->output_path)), error);
  view_.RestoreSelection(recorded->selection);
  RunRequest request;
  request.mode = RunMode::kResume;
  request.database_path = database_path_;
  request.settings = settings_;
  StartRun(request);
}

bool RunController::StartRun(const RunRequest& request) {
  auto reports = std::make_unique<RunReports>(wake_);
  try {
    session_ = std::make_unique<RunSession>(request, *reports);
  } catch (const StartRefused& refusal) {
    view_.ShowMessage(StartRefusalMessage(refusal));
    return false;
  }
  reports_ = std::move(reports);
  output_path_ = session_->output_path();
  run_ = session_->run();
  report_.reset();
  workbook_.reset();
  // A retry or the later pages go on with the run whose list was kept.
  if (request.mode == RunMode::kNew || request.mode == RunMode::kResume)
    kept_previous_ = session_->kept_previous();
  state_ = kRunStarted;
  shown_position_ = 0;
  shown_later_found_ = 0;
  written_ = 0;
  entries_total_ = 0;
  running_look_ = true;
  view_.ShowRunningLook();
  return true;
}

void RunController::ActionClick() {
  const Selection selection = view_.TickedSelection();
  if (selection.categories.empty()) {
    Ask(msg::kNoCategory, msg::kErrorTitle, mb::kNotice);
    return;
  }
  if (selection.prefectures.empty()) {
    Ask(msg::kNoPrefecture, msg::kErrorTitle, mb::kNotice);
    return;
  }
  output_path_ = msg::kDefaultOutputName;
  const auto chosen = view_.AskOutputFile(output_path_);
  if (!chosen) return;
  output_path_ = CompletedOutputPath(CsvPathOfChoice(*chosen));
  if (session_) return;  // one worker at a time
  wants_workbook_ = chosen->workbook;

  RunRequest request;
  request.selection = selection;
  request.output_path = output_path_;
  request.database_path = database_path_;
  request.settings = settings_;
  StartRun(request);
}

void RunController::Poll() {
  if (!reports_) return;
  const RunNews news = reports_->Take();
  if (news.plan) {
    entries_total_ = news.plan->entries_total;
    written_ = news.plan->facilities_written;
  }
  written_ = std::max(written_, news.written);
  // Later pages lengthen the bar as their links are found.
  if (news.plan || news.later_found != shown_later_found_) {
    shown_later_found_ = news.later_found;
    view_.InitProgress(entries_total_ + news.later_found);
  }
  const int position = news.position + news.later_started;
  if (position != shown_position_) {
    shown_position_ = position;
    view_.SetProgress(position);
  }
  if (news.status_changed) view_.ShowStatus(SjisToUtf8(news.status));
  if (news.outcome) WorkerEnded(*news.outcome);
}

void RunController::WorkerEnded(const RunOutcome& outcome) {
  outcome_ = outcome;
  written_ = outcome.progress.facilities_written;
  DropRun();
  report_ = WriteRefreshReport(outcome, run_);
  if (state_ == kRunStarted) state_ = StateForOutcome(outcome);
  FinishRun(state_);
}

void RunController::DropRun() {
  session_.reset();  // stops and waits for the worker, which no longer reports
  reports_.reset();
}

void RunController::CancelClick() {
  if (state_ == kRunStarted && running()) {
    // The run may end while the question is open; then there is nothing to cancel.
    if (Ask(msg::kCancelQuestion, msg::kCancelTitle, mb::kConfirm) == kIdYes && running()) {
      state_ = kRunCancelled;
      session_->Cancel();
    }
  } else if (state_ == kCloseConfirmed && running()) {
    session_->Cancel();
    state_ = kClosing;
  } else if (running() && state_ != kRunStarted) {
    // Pressed again while the worker is stopping: its transfer stops at once,
    // so waiting for it here is short, and nothing of the run is left behind.
    DropRun();
    FinishRun(state_);
  } else if (!running() && running_look_) {
    if (state_ == kRunStarted) state_ = StateForOutcome(outcome_);
    FinishRun(state_);
  }
}

bool RunController::CloseQuery() {
  if (!running_look_) {
    view_.SaveSettings();
    return true;
  }
  if (Ask(msg::kCloseQuestion, msg::kCloseTitle, mb::kConfirm) != kIdYes) return false;
  if (!running_look_) {  // the run ended while the question was open
    view_.SaveSettings();
    return true;
  }
  state_ = state_ == kCloseConfirmed ? kClosing : kCloseConfirmed;
  CancelClick();  // as a press of the cancel button would
  return false;
}

std::string RunController::WithWorkbook(const std::string& text) {
  if (!wants_workbook_) return text;
  workbook_ = WriteRunWorkbook(outcome_, run_, SiteShown(settings_.download.origin));
  if (!workbook_) return text;
  return WithDetail(text, workbook_->failure.empty()
                              ? std::string(workbook_text::kExported) + workbook_->path
                              : workbook_->failure);
}

void RunController::OfferToOpen(const std::string& text) {
  const std::string with_workbook = WithWorkbook(text);
  const std::string question =
      with_workbook.empty() ? msg::kOpenQuestion : WithDetail(with_workbook, msg::kOpenQuestion);
  if (Ask(question, msg::kDoneTitle, mb::kConfirmDefaultNo) != kIdYes) return;
  // The workbook, when the run made one, is what the user asked for.
  const std::string opened =
      workbook_ && workbook_->failure.empty() ? workbook_->path : output_path_;
  std::error_code error;
  if (std::filesystem::exists(PathFromUtf8(opened), error)) {
    if (!view_.OpenFile(opened)) {
      Ask(WithDetail(msg::kNoOpener, opened), msg::kErrorTitle, mb::kNotice);
    }
  } else {
    Ask(msg::kFileGone, msg::kErrorTitle, mb::kNotice);
  }
}

std::string RunController::SavedLine() const {
  return SavedText(written_, AbsoluteUtf8Path(output_path_));
}

std::string RunController::IdleStatus(int state) const {
  const std::string file = Utf8FromPath(PathFromUtf8(output_path_).filename());
  switch (state) {
    case kRunStarted:
    case kRunIncomplete:
      return SavedText(written_, file);
    case kRunNothing:
      return msg::kNothingFound;
    case kRunCancelled:
      return StoppedStatus(true, written_, file);
    default:
      return StoppedStatus(false, written_, file);
  }
}

std::string RunController::WithNotes(const std::string& text) const {
  return WithRefresh(WithDetail(text, RunNotesText(outcome_.progress)));
}

std::string RunController::WithRefresh(const std::string& text) const {
  return WithDetail(text, RefreshText(kept_previous_, report_));
}

bool RunController::OfferMorePages() {
  const RunProgress& progress = outcome_.progress;
  if (progress.beyond_pairs <= 0) return false;
  std::string text = WithDetail(msg::kDone, SavedLine());
  text = WithRefresh(WithDetail(text, RunNotesText(progress, false)));
  text = WithDetail(text, LaterPagesLeftText(progress.beyond_first_page) + msg::kMorePagesQuestion);
  if (Ask(text, msg::kDoneTitle, mb::kConfirm) != kIdYes) return false;
  RunRequest request;
  request.mode = RunMode::kMorePages;
  request.database_path = database_path_;
  request.settings = settings_;
  return StartRun(request);
}

bool RunController::OfferRetry() {
  std::string text = IncompleteText(outcome_.progress.not_fetched, outcome_.progress.gone);
  if (outcome_.progress.facilities_written == 0) text = WithDetail(text, msg::kNothingFound);
  if (Ask(WithDetail(WithNotes(text), msg::kRetryQuestion), msg::kDoneTitle, mb::kConfirm) !=
      kIdYes) {
    return false;
  }
  RunRequest request;
  request.mode = RunMode::kRetryFailed;
  request.database_path = database_path_;
  request.settings = settings_;
  return StartRun(request);
}

void RunController::ShowWithRefresh(UserMessage message) {
  message.text = WithRefresh(message.text);
  view_.ShowMessage(message);
}

void RunController::FinishRun(int state) {
  view_.RestoreCursor();
  switch (state) {
    case kRunStarted:
      view_.AlertRunDone();
      if (OfferMorePages()) return;  // the window stays busy with the later pages
      OfferToOpen(WithNotes(WithDetail(msg::kDone, SavedLine())));
      break;
    case kRunIncomplete:
      view_.AlertRunDone();
      if (OfferRetry()) return;  // the window stays busy with the new run
      if (outcome_.progress.facilities_written > 0) OfferToOpen(SavedLine());
      break;
    case kRunNothing:
      Ask(WithRefresh(msg::kNothingFound), msg::kNothingTitle, mb::kNotice);
      break;
    case kCloseConfirmed:
    case kClosing:
      running_look_ = false;
      view_.SaveSettings();
      view_.Quit();
      return;
    case kRunFailed:
      ShowWithRefresh(FailureMessage(outcome_));
      break;
    case kSiteUnreachable:
      ShowWithRefresh(UnreachableMessage(outcome_));
      break;
    default:
      break;  // cancelled: no message
  }
  running_look_ = false;
  view_.ShowIdleLook();
  view_.ShowStatus(IdleStatus(state));
}

}  // namespace valmeric
