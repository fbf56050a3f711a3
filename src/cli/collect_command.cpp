#include "cli/collect_command.h"

#include <filesystem>
#include <optional>

#include "cli/cli_owner.h"
#include "cli/exit_codes.h"
#include "cli/database_path.h"
#include "engine/output_file_name.h"
#include "engine/worker.h"
#include "refdb/reference_db.h"
#include "refdb/run_lock.h"

namespace valmeric::cli {
namespace {

namespace fs = std::filesystem;

constexpr char kFileInUse[] =
    "選択されたファイルが他のアプリケーションで使用中の為\n開くことができませんでした。";
constexpr char kCompleted[] = "事業所情報の取得が完了しました。";
constexpr char kNothingFound[] = "該当する事業所情報は見つかりませんでした。";
constexpr char kUnreachable[] =
    "サイトへのアクセスができませんでした。\nしばらく時間を置いてから再度実行してください。";

int ExitCodeForFailure(const RunFailure& failure) {
  return failure.kind == FailureKind::kDatabaseRead ? kExitUsage : kExitWriteError;
}

// Runs the worker to its end, pumping its synchronized calls on this thread.
std::shared_ptr<RunSignals> RunWorker(CliOwner& owner, RunConfig config,
                                      const std::atomic<bool>& interrupted) {
  auto worker = TMyThread::Create(owner, std::move(config));
  owner.Watch(worker->signals());
  worker->Resume();
  bool terminate_sent = false;
  while (!owner.ended()) {
    owner.Pump(std::chrono::milliseconds(100));
    if (interrupted && !terminate_sent) {
      worker->Terminate();
      terminate_sent = true;
    }
  }
  worker->WaitFor();
  owner.FinishProgress();
  return worker->signals();
}

int ReportOutcome(const RunSignals& signals, const std::string& output, bool interrupted,
                  std::ostream& out, std::ostream& err, bool quiet) {
  const RunFailure failure = signals.failure();
  const int written = signals.records_written;
  switch (signals.result_code) {
    case kRunFailed:
      err << "error: " << failure.message << "\n"
          << "the run stopped; " << written << " facilities written so far stay in " << output
          << "\n";
      return interrupted ? kExitInterrupted : ExitCodeForFailure(failure);
    case kSiteUnreachable:
      err << kUnreachable << "\n(" << failure.message << "; " << written
          << " facilities written so far stay in " << output << ")\n";
      return interrupted ? kExitInterrupted : kExitUnreachable;
    default:
      break;
  }
  if (interrupted) {
    err << "interrupted after " << signals.entries_done << " of " << signals.entries_total
        << " entries; " << written << " facilities written to " << output << "\n";
    return kExitInterrupted;
  }
  if (written == 0) {
    if (!quiet) err << kNothingFound << "\n";
    return kExitNothingFound;
  }
  if (!quiet) err << kCompleted << "\n";
  out << output << "\t" << written << "\n";
  return kExitWrote;
}

}  // namespace

int RunCollect(const CollectOptions& options, std::ostream& out, std::ostream& err,
               const std::atomic<bool>& interrupted, bool terminal) {
  const auto existing = ExistingDatabase(options.database, err);
  if (!existing) return kExitUsage;
  const fs::path& db_path = *existing;

  std::optional<RunLock> lock;
  std::optional<ReferenceDb> db;
  try {
    lock.emplace(db_path.string());
    db.emplace(db_path.string());
  } catch (const std::exception& failure) {
    err << "error: " << failure.what() << "\n";
    return kExitUsage;
  }

  // The duplicate table is emptied before the old output file goes, so a
  // database that refuses the write costs the user nothing.
  try {
    db->ClearSeenCodes();
  } catch (const DbError& failure) {
    err << "error: " << failure.what() << "\n";
    return failure.IsWriteFailure() ? kExitWriteError : kExitUsage;
  }
  const std::string output = WithCsvExtension(options.output);
  if (!DeleteExistingOutput(output)) {
    err << kFileInUse << "\n(" << output << ")\n";
    return kExitUsage;
  }

  RunConfig config;
  config.output_path = output;
  config.encoding = options.encoding;
  config.scratch_path = (db_path.parent_path() / "tmp.dat").string();
  config.download.origin = options.origin;
  config.download.ca_file = options.ca_file;
  config.page_pause = options.pause;
  config.retry.delays = options.retry_delays;

  CliOwner owner(db->db(), options.selection, err, options.quiet, terminal);
  const auto signals = RunWorker(owner, std::move(config), interrupted);
  return ReportOutcome(*signals, output, interrupted, out, err, options.quiet);
}

}  // namespace valmeric::cli
