#include "cli/status_command.h"

#include <optional>

#include "cli/console.h"
#include "cli/database_path.h"
#include "cli/exit_codes.h"
#include "cli/option_reader.h"
#include "common/platform/utf8_path.h"
#include "engine/run_session.h"
#include "messages/cli_messages.h"
#include "messages/detail_text.h"
#include "messages/run_messages.h"
#include "messages/user_messages.h"
#include "refdb/run_journal.h"
#include "refdb/run_lock.h"

namespace valmeric::cli {

namespace {

// True when another process holds the database for a run now. Without its
// lock file nobody does, and none is made.
bool HeldByARun(const std::filesystem::path& database) {
  std::error_code error;
  if (!std::filesystem::exists(PathFromUtf8(RunLock::LockPathFor(Utf8FromPath(database))), error))
    return false;
  try {
    RunLock lock(Utf8FromPath(database));
  } catch (const RunLockError& error) {
    return error.kind() == RunLockError::Kind::kHeldByAnotherRun;
  } catch (const std::exception&) {  // a lock file that cannot be opened: no run can hold it either
  }
  return false;
}

std::string State(const RecordedRun& run) {
  if (run.Resumable()) return Named(text::kStateResumable);
  if (run.Retryable()) return Named(text::kStateRetryable);
  if (run.HasMorePages()) return Named(text::kStateMorePages);
  return text::kStateFinished;
}

}  // namespace

int RunStatus(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string named;
  try {
    ReadOptions(args, {}, [&](const std::string& name, const std::string& value) {
      if (name != "--db") throw UsageError(Detail(text::kUnknownOption, name));
      named = value;
    });
  } catch (const UsageError& error) {
    err << ProgramName() << " status: " << error.what() << "\n" << Named(kStatusUsage);
    return kExitUsage;
  }
  const auto database = ExistingDatabase(named, err);
  if (!database) return kExitUsage;
  std::optional<RecordedRun> run;
  try {
    run = ReadRecordedRun(*database);
  } catch (const DbError& failure) {
    err << msg::kDatabaseUnusable << "\n" << failure.what() << "\n";
    return kExitUsage;
  }
  if (!run) {
    out << Detail(text::kNothingRecorded, Utf8FromPath(*database)) << "\n";
    return kExitNothingFound;
  }
  const RunProgress& progress = run->progress;
  out << text::kStatusCategories << NamedCategories(run->selection.categories) << "\n"
      << text::kStatusPrefectures << NamedPrefectures(run->selection.prefectures) << "\n"
      << text::kStatusOutput << run->output_path << " (" << EncodingName(run->encoding) << ")\n"
      << text::kStatusEntriesDone << progress.next_entry << " / ";
  if (progress.plan_size >= 0) {
    out << progress.plan_size << "\n";
  } else {
    out << text::kStatusPlanUnknown << "\n";
  }
  out << text::kStatusWritten << Count(progress.facilities_written) << "\n"
      << text::kStatusNotFetched << Count(progress.not_fetched) << "\n"
      << text::kStatusGone << Count(progress.gone) << "\n"
      << text::kStatusBeyond << BeyondLine(progress.beyond_first_page, progress.beyond_pairs)
      << "\n"
      << text::kStatusUnlisted << BeyondLine(progress.unlisted, progress.unlisted_pairs) << "\n"
      << text::kStatusState << State(*run) << "\n";
  if (HeldByARun(*database)) out << text::kStatusRunning << "\n";
  // Pages beyond the first and facilities on no page have lines of their own above.
  RunProgress rest = progress;
  rest.beyond_first_page = rest.unlisted = 0;
  if (const std::string notes = RunNotesText(rest); !notes.empty()) err << notes << "\n";
  return run->Resumable() || run->Retryable() ? kExitWrote : kExitNothingFound;
}

}  // namespace valmeric::cli
