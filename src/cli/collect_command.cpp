#include "cli/collect_command.h"

#include <chrono>

#include "cli/exit_codes.h"
#include "cli/progress_printer.h"
#include "common/app_paths.h"
#include "common/user_messages.h"
#include "engine/run_messages.h"
#include "engine/run_session.h"

namespace valmeric::cli {
namespace {

namespace fs = std::filesystem;

constexpr auto kPollInterval = std::chrono::milliseconds(100);

int ExitCodeForRefusal(StartProblem problem) {
  return problem == StartProblem::kDatabaseWrite || problem == StartProblem::kScratch ? kExitWriteError
                                                                                        : kExitUsage;
}

int ExitCodeForFailure(const RunOutcome& outcome) {
  return outcome.failure == FailureKind::kDatabaseRead ? kExitUsage : kExitWriteError;
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

int ReportOutcome(const RunOutcome& outcome, const std::string& output, std::ostream& out,
                  std::ostream& err, bool quiet) {
  switch (outcome.kind) {
    case Outcome::kFailed:
      err << ForConsole(FailureMessage(outcome).text) << "\n" << KeptText(outcome.facilities_written, output) << "\n";
      return ExitCodeForFailure(outcome);
    case Outcome::kSiteUnreachable:
      err << ForConsole(UnreachableMessage(outcome).text) << "\n" << KeptText(outcome.facilities_written, output) << "\n";
      return kExitUnreachable;
    case Outcome::kCancelled:
      err << InterruptedText(outcome.entries_done, outcome.entries_total, outcome.facilities_written, output)
          << "\n";
      return kExitInterrupted;
    case Outcome::kNothingFound:
      if (!quiet) err << msg::kNothingFound << "\n";
      return kExitNothingFound;
    case Outcome::kIncomplete:
      err << IncompleteText(outcome.entries_not_fetched) << "\n(" << outcome.detail << ")\n";
      out << output << "\t" << outcome.facilities_written << "\n";
      return kExitIncomplete;
    case Outcome::kCompleted:
      break;
  }
  if (!quiet) err << msg::kDone << "\n";
  out << output << "\t" << outcome.facilities_written << "\n";
  return kExitWrote;
}

}  // namespace

int RunCollect(const CollectOptions& options, std::ostream& out, std::ostream& err,
               const std::atomic<bool>& interrupted, bool terminal) {
  RunRequest request;
  request.selection = options.selection;
  request.output_path = options.output;
  request.encoding = options.encoding;
  request.database_path = options.database.empty() ? DefaultDatabasePath() : fs::path(options.database);
  request.settings = options.settings;

  RunReports reports({}, RunReports::Wake::kOnEndOnly);
  std::optional<RunSession> session;
  try {
    session.emplace(request, reports);
  } catch (const StartRefused& refusal) {
    err << ForConsole(StartRefusalMessage(refusal).text) << "\n";
    if (refusal.problem() == StartProblem::kOutputInUse || refusal.problem() == StartProblem::kDatabaseMissing) {
      err << "(" << refusal.what() << ")\n";
    }
    return ExitCodeForRefusal(refusal.problem());
  }
  ProgressPrinter printer(err, options.quiet, terminal);
  const RunOutcome outcome = WaitForRun(*session, reports, printer, interrupted);
  const int status = ReportOutcome(outcome, session->output_path(), out, err, options.quiet);
  // A result line that never reached its reader (a full disk, a closed pipe)
  // must not read as success to a script.
  if (!out.flush()) {
    err << msg::kResultLineWrite << "\n";
    return status == kExitWrote || status == kExitIncomplete ? kExitWriteError : status;
  }
  return status;
}

}  // namespace valmeric::cli
