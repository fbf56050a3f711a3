#include "cli/collect_command.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "cli/console.h"
#include "cli/database_path.h"
#include "cli/exit_codes.h"
#include "cli/progress_printer.h"
#include "common/platform/utf8_path.h"
#include "engine/refresh_report.h"
#include "engine/run_session.h"
#include "engine/workbook_export.h"
#include "messages/cli_messages.h"
#include "messages/detail_text.h"
#include "messages/run_messages.h"
#include "messages/user_messages.h"
#include "messages/workbook_text.h"
#include "refdb/run_journal.h"

namespace valmeric::cli {
namespace {

namespace fs = std::filesystem;

constexpr auto kPollInterval = std::chrono::milliseconds(100);

int ExitCodeForRefusal(StartProblem problem) {
  return problem == StartProblem::kDatabaseWrite || problem == StartProblem::kScratch
             ? kExitWriteError
             : kExitUsage;
}

int ExitCodeForFailure(const RunOutcome& outcome) {
  return outcome.failure == FailureKind::kDatabaseRead ? kExitUsage : kExitWriteError;
}

// How to go on with a run that stopped: a retry that stopped is retried
// again, since it reached the end of its plan before.
std::string GoOnHint(RunMode mode) {
  switch (mode) {
    case RunMode::kRetryFailed:
      return Named(text::kRetryHint);
    case RunMode::kMorePages:
      return Named(text::kMorePagesHint);
    default:
      return Named(text::kResumeHint);
  }
}

// The notes at a run's end; facilities left on later pages come with how to fetch them.
std::string EndNotes(const RunProgress& progress) {
  std::string notes = RunNotesText(progress);
  if (progress.beyond_pairs > 0) notes += "\n" + Named(text::kMorePagesHint);
  return notes;
}

const char* TakingUpText(RunMode mode) {
  switch (mode) {
    case RunMode::kResume:
      return text::kResuming;
    case RunMode::kMorePages:
      return text::kFetchingMorePages;
    default:
      return text::kFetchingAgain;
  }
}

// What a run that stopped early left, and how to go on; nothing when it left
// no record (its file was never opened).
std::string Kept(const RunOutcome& outcome, const std::string& output, RunMode mode) {
  if (!outcome.recorded) return {};
  return KeptText(outcome.progress.facilities_written, output) + "\n" + GoOnHint(mode) + "\n";
}

// Where a recorded run stands, in one line.
std::string RecordedLine(const RecordedRun& run) {
  const RunProgress& progress = run.progress;
  return EntriesLine(progress.next_entry, progress.plan_size, progress.not_fetched,
                     progress.facilities_written, run.output_path);
}

// Names given again with --resume or --retry-failed must be the recorded run's.
std::optional<std::string> Mismatch(const CollectOptions& options, const RecordedRun& recorded) {
  if (options.has_category && options.selection.categories != recorded.selection.categories) {
    return Detail(text::kMismatch, std::string(text::kRecorded) + "--category " +
                                       JoinCodes(recorded.selection.categories));
  }
  if (options.has_prefecture && options.selection.prefectures != recorded.selection.prefectures) {
    return Detail(text::kMismatch, std::string(text::kRecorded) + "--prefecture " +
                                       JoinCodes(recorded.selection.prefectures));
  }
  if (options.has_encoding && options.encoding != recorded.encoding) {
    return Detail(text::kMismatch,
                  std::string(text::kRecorded) + "--encoding " + EncodingName(recorded.encoding));
  }
  if (!options.output.empty()) {
    std::error_code error;
    const fs::path named = fs::weakly_canonical(
        fs::absolute(PathFromUtf8(CompletedOutputPath(options.output)), error), error);
    if (named != fs::weakly_canonical(PathFromUtf8(recorded.output_path), error)) {
      return Detail(text::kMismatch,
                    std::string(text::kRecorded) + "--output " + recorded.output_path);
    }
  }
  return std::nullopt;
}

// Runs the session's worker to its end, printing its progress and passing an
// interrupt on as a cancel request.
RunOutcome WaitForRun(RunSession& session, RunReports& reports, ProgressPrinter& printer,
                      const std::atomic<bool>& interrupted) {
  bool cancel_sent = false;
  for (;;) {
    if (interrupted && !cancel_sent) {
      session.Cancel();
      cancel_sent = true;
    }
    const bool ended = reports.WaitForEnd(kPollInterval);
    RunNews news = reports.Take();
    printer.Show(news, ended);
    if (news.outcome) {
      session.Wait();
      printer.Finish();
      return *news.outcome;
    }
  }
}

int ReportOutcome(const RunOutcome& outcome, const std::string& output, RunMode mode,
                  std::ostream& out, std::ostream& err, bool quiet) {
  const RunProgress& progress = outcome.progress;
  if (const std::string notes = EndNotes(progress); !notes.empty()) err << notes << "\n";
  switch (outcome.kind) {
    case Outcome::kFailed:
      err << ForConsole(FailureMessage(outcome).text) << "\n" << Kept(outcome, output, mode);
      return ExitCodeForFailure(outcome);
    case Outcome::kSiteUnreachable:
      err << ForConsole(UnreachableMessage(outcome).text) << "\n";
      if (outcome.placeholder_host) err << text::kSiteOriginHint << "\n";
      err << Kept(outcome, output, mode);
      return kExitUnreachable;
    case Outcome::kCancelled:
      err << InterruptedText(progress.entries_done, progress.entries_total,
                             progress.facilities_written, output)
          << "\n"
          << GoOnHint(mode) << "\n";
      return kExitInterrupted;
    case Outcome::kNothingFound:
      if (!quiet) err << msg::kNothingFound << "\n";
      return kExitNothingFound;
    case Outcome::kIncomplete:
      err << IncompleteText(progress.not_fetched, progress.gone) << "\n"
          << WithDetail(outcome.detail, Named(text::kRetryHint)) << "\n";
      out << AbsoluteUtf8Path(output) << "\t" << progress.facilities_written << "\n";
      return kExitIncomplete;
    case Outcome::kCompleted:
      break;
  }
  if (!quiet) err << msg::kDone << "\n";
  out << AbsoluteUtf8Path(output) << "\t" << progress.facilities_written << "\n";
  return kExitWrote;
}

// The workbook beside the CSV of a run that wrote facilities; its path is a
// second result line. One that cannot be written turns a success into a
// write error; the CSV stays as the run left it.
int WriteWorkbookOf(const RunOutcome& outcome, const RunSession& session,
                    const CollectOptions& options, int status, std::ostream& out,
                    std::ostream& err) {
  const std::optional<RunWorkbook> book =
      WriteRunWorkbook(outcome, session.run(), SiteShown(options.settings.download.origin));
  if (!book) return status;
  if (!book->failure.empty()) {
    err << book->failure << "\n";
    return status == kExitWrote ? kExitWriteError : status;
  }
  if (!options.quiet) err << workbook_text::kExported << book->path << "\n";
  out << book->path << "\n";
  return status;
}

}  // namespace

int RunCollect(const CollectOptions& options, std::ostream& out, std::ostream& err,
               const std::atomic<bool>& interrupted, bool terminal) {
  RunRequest request;
  request.mode = options.mode;
  request.selection = options.selection;
  request.output_path = options.output;
  request.encoding = options.encoding;
  request.pages = options.pages;
  request.database_path = NamedDatabasePath(options.database);
  request.settings = options.settings;
  if (options.mode != RunMode::kNew) {
    std::optional<RecordedRun> recorded;
    try {
      if (fs::is_regular_file(request.database_path))
        recorded = ReadRecordedRun(request.database_path, RecordRead::kMayRecover);
    } catch (const DbError& failure) {
      err << msg::kDatabaseUnusable << "\n" << failure.what() << "\n";
      return kExitUsage;
    }
    if (recorded) {
      if (const auto mismatch = Mismatch(options, *recorded)) {
        err << ProgramName() << " collect: " << *mismatch << "\n";
        return kExitUsage;
      }
    }
  }

  RunReports reports({}, RunReports::Wake::kOnEndOnly);
  std::optional<RunSession> session;
  try {
    session.emplace(request, reports);
  } catch (const StartRefused& refusal) {
    err << ForConsole(StartRefusalMessage(refusal).text) << "\n";
    if (refusal.problem() == StartProblem::kOutputInUse) err << "(" << refusal.what() << ")\n";
    return ExitCodeForRefusal(refusal.problem());
  }
  if (const auto& dropped = session->dropped_run()) {
    err << text::kDroppedRun << "\n" << RecordedLine(*dropped) << "\n";
  }
  if (const auto& taken = session->taken_up(); taken && !options.quiet) {
    err << TakingUpText(options.mode) << "\n" << RecordedLine(*taken) << "\n";
  }
  ProgressPrinter printer(err, options.quiet, terminal, terminal ? StandardErrorColumns() : 0);
  const RunOutcome outcome = WaitForRun(*session, reports, printer, interrupted);
  const std::optional<RefreshReport> report = WriteRefreshReport(outcome, session->run());
  int status =
      ReportOutcome(outcome, session->output_path(), options.mode, out, err, options.quiet);
  if (const std::string refresh = RefreshText(session->kept_previous(), report); !refresh.empty())
    err << refresh << "\n";
  if (options.xlsx) status = WriteWorkbookOf(outcome, *session, options, status, out, err);
  // A result line that never reached its reader (a full disk, a closed pipe)
  // must not read as success to a script.
  if (!out.flush()) {
    err << msg::kResultLineWrite << "\n";
    return status == kExitWrote || status == kExitIncomplete ? kExitWriteError : status;
  }
  return status;
}

}  // namespace valmeric::cli
