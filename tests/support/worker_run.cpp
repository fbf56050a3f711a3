#include "support/worker_run.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "common/text/sjis_text.h"
#include "engine/run_session.h"
#include "support/cp932_check.h"

namespace valmeric::test {

void RecordNewRun(const RunConfig& config) {
  Database db(config.database_path);
  db.Begin();
  RunJournal::EnsureSchema(db);
  RunJournal::StartNew(
      db, NewRunRecord(config.selection, config.output_path, config.encoding, config.pages));
  db.Commit();
}

RunRecord RunToEnd(RunConfig config,
                   const std::function<void(TMyThread&, const RunNews&)>& on_news) {
  std::mutex mutex;
  std::condition_variable woken;
  bool news_waits = false;
  RunReports reports([&] {
    {
      std::lock_guard lock(mutex);
      news_waits = true;
    }
    woken.notify_all();
  });
  TMyThread worker(std::move(config), reports);
  worker.Resume();
  RunRecord record;
  for (;;) {
    {
      std::unique_lock lock(mutex);
      woken.wait_for(lock, std::chrono::milliseconds(50), [&] { return news_waits; });
      news_waits = false;
    }
    const RunNews news = reports.Take();
    if (news.plan) record.plan_size = news.plan->entries_total;
    record.position = news.position;
    if (news.status_changed) record.statuses.push_back(news.status);
    if (on_news) on_news(worker, news);
    if (news.outcome) {
      record.outcome = *news.outcome;
      break;
    }
  }
  worker.WaitFor();
  return record;
}

std::vector<std::string> CodesOf(const std::vector<PageFacility>& list) {
  std::vector<std::string> codes;
  for (const auto& facility : list) codes.push_back(facility.code);
  return codes;
}

std::vector<std::string> WrittenCodes(const std::string& path) {
  std::vector<std::string> codes;
  const auto lines = SplitLines(ReadCsv(path));
  for (size_t i = 1; i < lines.size(); ++i)
    codes.push_back(lines[i].substr(1, lines[i].find('"', 1) - 1));
  return codes;
}

}  // namespace valmeric::test
