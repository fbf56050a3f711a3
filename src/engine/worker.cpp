#include "engine/worker.h"

#include <cstdio>
#include <filesystem>

#include "common/site_address.h"
#include "common/sjis_text.h"
#include "common/split_text.h"
#include "engine/plan.h"

namespace valmeric {
namespace {

constexpr int kPlanFields = 5;

RunFailure DescribeFailure(const std::exception& error) {
  if (dynamic_cast<const OutputError*>(&error)) return {FailureKind::kOutput, error.what()};
  if (dynamic_cast<const ScratchFileError*>(&error)) return {FailureKind::kLocal, error.what()};
  if (const auto* db = dynamic_cast<const DbError*>(&error)) {
    return {db->IsWriteFailure() ? FailureKind::kDatabaseWrite : FailureKind::kDatabaseRead,
            error.what()};
  }
  return {FailureKind::kLocal, error.what()};
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

}  // namespace

std::shared_ptr<TMyThread> TMyThread::Create(RunOwner& owner, RunConfig config) {
  return std::shared_ptr<TMyThread>(new TMyThread(owner, std::move(config)));
}

TMyThread::TMyThread(RunOwner& owner, RunConfig config)
    : owner_(owner),
      config_(std::move(config)),
      signals_(std::make_shared<RunSignals>()),
      fetcher_(config_.download, config_.retry, signals_->cancel) {}

TMyThread::~TMyThread() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();  // the last reference went with the thread itself
  } else {
    thread_.join();
  }
}

void TMyThread::Resume() {
  thread_ = std::thread([self = shared_from_this()] { self->Execute(); });
}

void TMyThread::WaitFor() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TMyThread::Forget() {
  signals_->forgotten = true;
  filter_.reset();
}

void TMyThread::Execute() {
  signals_->running = true;
  signals_->result_code = kNothingWritten;
  try {
    RunPlan();
  } catch (const std::exception& error) {
    signals_->SetFailure(DescribeFailure(error));
    signals_->result_code = kRunFailed;
  } catch (...) {
    signals_->SetFailure({FailureKind::kLocal, "unknown error"});
    signals_->result_code = kRunFailed;
  }
  std::remove(config_.scratch_path.c_str());
  FinishRun();
}

void TMyThread::FinishRun() {
  signals_->running = false;
  try {
    Synchronize([this] {
      filter_.reset();  // its statements and transaction belong to the owner's connection
      if (!signals_->forgotten) owner_.RunEnded();
    });
  } catch (...) {
    // The owner's end handling failed; the run itself is over either way.
  }
}

void TMyThread::RunPlan() {
  plan_ = Plan();
  try {
    out_file_.Open(config_.output_path, config_.encoding);
    out_file_.WriteLine(CsvHeaderLine());
    Synchronize([this] {
      if (signals_->forgotten) return;  // let go of before it began: nothing to read
      plan_ = BuildPlan(owner_.RunDatabase(), owner_.CurrentSelection());
      filter_.emplace(owner_.RunDatabase());
    });
    signals_->entries_total = static_cast<int>(plan_.size());
    if (!plan_.empty()) {
      Synchronize([this] {
        if (!signals_->forgotten) owner_.InitProgress(static_cast<int>(plan_.size()));
      });
      for (size_t i = 0; i < plan_.size(); ++i) {
        Synchronize([this] {
          if (filter_) filter_->Commit();
          if (!signals_->forgotten) owner_.StepProgress();
        });
        ProcessQuery(i);
        out_file_.Flush();
        signals_->entries_done = static_cast<int>(i + 1);
        if (failed_entries_in_row_ >= config_.max_failed_entries_in_row) {
          signals_->result_code = kSiteUnreachable;
          signals_->SetFailure({FailureKind::kNone, fetcher_.last_error()});
          break;
        }
        if (signals_->cancel.IsCancelled()) break;
      }
    }
    out_file_.Close();
    CountRecordsOnDisk();
  } catch (...) {
    // Close what can be closed; the first error is the one the run reports.
    try {
      out_file_.Close();
    } catch (...) {
    }
    CountRecordsOnDisk();
    throw;
  }
  plan_ = Plan();
}

void TMyThread::CountRecordsOnDisk() {
  const size_t lines = out_file_.lines_on_disk();
  signals_->records_written = lines > 0 ? static_cast<int>(lines - 1) : 0;  // less the header
}

void TMyThread::ProcessQuery(size_t index) {
  entry_ = plan_.Entry(index);
  std::vector<std::string> fields;
  SplitText(entry_, ",", fields);
  if (fields.size() != kPlanFields) return;

  const bool fetched = fetcher_.Fetch(ResultPageUrl(fields[2], fields[3]), config_.scratch_path);
  failed_entries_in_row_ = fetched ? 0 : failed_entries_in_row_ + 1;
  signals_->cancel.WaitFor(config_.page_pause);

  std::vector<std::string> lines;
  if (FileExists(config_.scratch_path)) lines = LoadLines(config_.scratch_path);
  if (lines.empty()) {
    ShowPairStatus(0, 0);
    return;
  }
  ReadResultPage(lines, *this);
}

bool TMyThread::CheckHspCode(const std::string& code) {
  bool seen = false;
  Synchronize([&] {
    // Once let go of, the run keeps its codes to itself: a newer run may own
    // the duplicate table by now.
    seen = signals_->forgotten ? !private_codes_.insert(code).second : filter_->CheckHspCode(code);
  });
  return seen;
}

void TMyThread::WriteRecord(const Record& record) {
  out_file_.WriteLine(FormatRecordLine(record));
  ++signals_->records_written;  // buffered; set to what reached the file at the end
  if (signals_->result_code != kRunFailed) signals_->result_code = kWroteFacilities;
}

void TMyThread::ShowPairStatus(int done, int total) {
  Synchronize([&] {
    if (!signals_->forgotten) owner_.ShowStatus(PairStatusText(entry_, done, total));
  });
}

}  // namespace valmeric
