#include "cli/status_command.h"

#include <optional>

#include "cli/database_path.h"
#include "cli/exit_codes.h"
#include "cli/option_reader.h"
#include "common/user_messages.h"
#include "common/utf8_path.h"
#include "engine/run_session.h"
#include "refdb/run_journal.h"
#include "refdb/run_lock.h"

namespace valmeric::cli {

const char kStatusUsage[] =
    "usage: valmeric-cli status [--db FILE]\n"
    "  prints the run recorded in the database: selection, output, entries done of the\n"
    "  plan, entries not fetched, facilities beyond the first result pages, and whether\n"
    "  it can be resumed; exit status 0 when it has work left, 1 when none is recorded\n";

namespace {

// True when another process holds the database for a run now.
bool HeldByARun(const std::filesystem::path& database) {
  try {
    RunLock lock(Utf8FromPath(database));
  } catch (const RunLockError& error) {
    return error.kind() == RunLockError::Kind::kHeldByAnotherRun;
  } catch (const std::exception&) {  // a lock file that cannot be opened: no run can hold it either
  }
  return false;
}

const char* State(const RecordedRun& run) {
  if (run.Resumable()) return "unfinished: valmeric-cli collect --resume goes on with it";
  if (run.Retryable()) {
    return "finished with entries not fetched: valmeric-cli collect --retry-failed fetches them "
           "again";
  }
  return "finished";
}

}  // namespace

int RunStatus(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string named;
  try {
    ReadOptions(args, {}, [&](const std::string& name, const std::string& value) {
      if (name != "--db") throw UsageError("unknown option " + name);
      named = value;
    });
  } catch (const UsageError& error) {
    err << "valmeric-cli status: " << error.what() << "\n" << kStatusUsage;
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
    out << "no run is recorded in " << Utf8FromPath(*database) << "\n";
    return kExitNothingFound;
  }
  out << "categories: " << JoinCodes(run->selection.categories) << "\n"
      << "prefectures: " << JoinCodes(run->selection.prefectures) << "\n"
      << "output: " << run->output_path << " (" << EncodingName(run->encoding) << ")\n"
      << "entries done: " << run->entries_done << " / ";
  if (run->plan_size >= 0) {
    out << run->plan_size << "\n";
  } else {
    out << "? (stopped before its plan was built)\n";
  }
  out << "facilities written: " << run->facilities_written << "\n"
      << "entries not fetched: " << run->not_fetched << "\n"
      << "entries gone from the site (404, 410): " << run->gone << "\n"
      << "facilities beyond the first result page: " << run->beyond_first_page << " in "
      << run->beyond_pairs << " pairs\n"
      << "state: " << State(*run) << "\n";
  if (HeldByARun(*database)) out << "running: another process is using the database now\n";
  if (run->beyond_first_page > 0) {
    err << BeyondFirstPageText(run->beyond_first_page, run->beyond_pairs) << "\n";
  }
  return run->Resumable() || run->Retryable() ? kExitWrote : kExitNothingFound;
}

}  // namespace valmeric::cli
