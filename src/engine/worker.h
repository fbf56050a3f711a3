#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "common/download.h"
#include "engine/csv_writer.h"
#include "engine/duplicate_filter.h"
#include "common/page_fetcher.h"
#include "engine/result_page_reader.h"
#include "engine/run_owner.h"
#include "engine/run_signals.h"

namespace valmeric {

struct RunConfig {
  std::string output_path;   // the CSV file; any older file is deleted beforehand
  CsvEncoding encoding = CsvEncoding::kCp932;
  std::string scratch_path;  // where each result page is downloaded
  DownloadSettings download;
  RetryPolicy retry;
  std::chrono::milliseconds page_pause{500};
  int max_failed_entries_in_row = 3;
};

// The worker of one run: opens the CSV file, has the plan built, fetches and
// reads every entry's result page, and tells the owner when it is over.
class TMyThread final : public std::enable_shared_from_this<TMyThread>, private ResultPageSink {
 public:
  // Created suspended; Resume starts it. The thread keeps the object alive
  // until it ends, so the owner may drop its pointer at any time.
  static std::shared_ptr<TMyThread> Create(RunOwner& owner, RunConfig config);
  ~TMyThread() override;
  TMyThread(const TMyThread&) = delete;
  TMyThread& operator=(const TMyThread&) = delete;

  void Resume();
  // Asks the run to stop after the entry being read.
  void Terminate() { signals_->cancel.Cancel(); }
  // Waits until the thread has ended (not from the worker thread itself).
  void WaitFor();
  // Owner's thread only: lets go of the run. It is no longer shown or told,
  // and it leaves the duplicate table (and the connection) to newer runs.
  void Forget();

  const std::shared_ptr<RunSignals>& signals() const { return signals_; }

 private:
  TMyThread(RunOwner& owner, RunConfig config);

  void Execute();
  void RunPlan();
  void ProcessQuery(size_t index);
  void FinishRun();
  // Makes records_written the count of record lines that reached the file.
  void CountRecordsOnDisk();
  void Synchronize(const std::function<void()>& fn) { owner_.Synchronize(fn); }

  // ResultPageSink
  bool CheckHspCode(const std::string& code) override;
  void WriteRecord(const Record& record) override;
  void ShowPairStatus(int done, int total) override;
  bool CancelRequested() override { return signals_->cancel.IsCancelled(); }

  RunOwner& owner_;
  const RunConfig config_;
  std::shared_ptr<RunSignals> signals_;
  PageFetcher fetcher_;
  std::thread thread_;

  // Run state, touched by the worker thread and, inside synchronized calls,
  // by the owner's thread while the worker waits.
  Plan plan_;
  std::string entry_;  // the entry being read
  CsvFile out_file_;
  std::optional<DuplicateFilter> filter_;
  std::unordered_set<std::string> private_codes_;
  int failed_entries_in_row_ = 0;
};

}  // namespace valmeric
