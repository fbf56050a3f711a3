#include "common/page_fetcher.h"

#include <unistd.h>

#include <cstdio>
#include <utility>

namespace valmeric {

PageFetcher::PageFetcher(DownloadSettings settings, RetryPolicy policy, const CancelToken& cancel)
    : settings_(std::move(settings)), policy_(std::move(policy)), cancel_(cancel) {}

std::chrono::milliseconds PageFetcher::DelayAfter(int attempt,
                                                  const DownloadOutcome& outcome) const {
  if (outcome.retry_after_s >= 0) {
    return std::min<std::chrono::milliseconds>(std::chrono::seconds(outcome.retry_after_s),
                                               policy_.retry_after_cap);
  }
  return policy_.delays[static_cast<size_t>(attempt) - 1];
}

namespace {

// Empties the scratch file in place. It is never removed: the name belongs to
// the run (ScratchFile) and must not be freed for someone else to take.
void Empty(const std::string& scratch_path) { ::truncate(scratch_path.c_str(), 0); }

}  // namespace

bool PageFetcher::Fetch(const std::string& url, const std::string& scratch_path) {
  const int attempts = static_cast<int>(policy_.delays.size()) + 1;
  for (int attempt = 1;; ++attempt) {
    Empty(scratch_path);
    const DownloadOutcome outcome = DownloadToFile(url, scratch_path, settings_);
    last_status_ = outcome.http_status;
    if (outcome.local_error) {
      Empty(scratch_path);
      throw ScratchFileError(outcome.error);
    }
    if (outcome.Fetched()) {
      last_error_.clear();
      return true;
    }
    last_error_ = outcome.transport_ok ? "HTTP " + std::to_string(outcome.http_status)
                                       : outcome.error;
    Empty(scratch_path);
    if (attempt == attempts || !cancel_.WaitFor(DelayAfter(attempt, outcome))) return false;
  }
}

}  // namespace valmeric
