#include "engine/run_reports.h"

#include "engine/plan.h"

namespace valmeric {

RunReports::RunReports(std::function<void()> wake, Wake when)
    : wake_(std::move(wake)), when_(when) {}

void RunReports::Notify(std::unique_lock<std::mutex>& lock, bool end) {
  const bool wake = !pending_ && (end || when_ == Wake::kOnAnyNews);
  pending_ = pending_ || end || when_ == Wake::kOnAnyNews;
  lock.unlock();
  if (end) ended_.notify_all();
  if (wake && wake_) wake_();
}

void RunReports::PlanReady(const RunProgress& progress) {
  std::unique_lock lock(mutex_);
  plan_ = progress;
  position_ = progress.entries_done;
  plan_told_ = false;
  Notify(lock, false);
}

void RunReports::EntryStarted(int position, std::string place) {
  std::unique_lock lock(mutex_);
  position_ = position;
  // The entry shows at once, before its page has told its counts.
  status_place_ = std::move(place);
  done_ = total_ = kCountsUnknown;
  status_changed_ = true;
  Notify(lock, false);
}

void RunReports::PairCounts(int done, int total, int written) {
  std::unique_lock lock(mutex_);
  done_ = done;
  total_ = total;
  written_ = written;
  status_changed_ = true;
  Notify(lock, false);
}

void RunReports::LaterPageFound() {
  std::unique_lock lock(mutex_);
  ++later_found_;
  Notify(lock, false);
}

void RunReports::LaterPageStarted() {
  std::unique_lock lock(mutex_);
  ++later_started_;
  Notify(lock, false);
}

void RunReports::Ended(RunOutcome outcome) {
  std::unique_lock lock(mutex_);
  outcome_ = std::move(outcome);
  has_ended_ = true;
  Notify(lock, true);
}

RunNews RunReports::Take() {
  RunNews news;
  std::string place;
  int done = 0;
  int total = 0;
  {
    std::lock_guard lock(mutex_);
    pending_ = false;
    if (!plan_told_ && plan_) {
      news.plan = plan_;
      plan_told_ = true;
    }
    news.position = position_;
    news.later_found = later_found_;
    news.later_started = later_started_;
    news.written = written_;
    news.status_changed = status_changed_;
    status_changed_ = false;
    if (news.status_changed) {
      place = status_place_;
      done = done_;
      total = total_;
    }
    news.outcome = std::move(outcome_);
    outcome_.reset();
  }
  if (news.status_changed) {
    news.status = total == kCountsUnknown ? place : PairStatusText(place, done, total);
  }
  return news;
}

bool RunReports::WaitForEnd(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return ended_.wait_for(lock, timeout, [this] { return has_ended_; });
}

}  // namespace valmeric
