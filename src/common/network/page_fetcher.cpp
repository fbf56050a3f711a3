#include "common/network/page_fetcher.h"

#include <cstdio>
#include <utility>

#include "common/platform/native_file.h"

namespace valmeric {
namespace {

bool IsSuccess(long status) {
  return status >= 200 && status < 300;
}
// Answers that a later attempt may turn into a page.
bool IsPassing(long status) {
  return status == 429 || status >= 500;
}
// Answers that say the page itself does not exist, while the site answers.
bool IsGone(long status) {
  return status == 404 || status == 410;
}

}  // namespace

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
void Empty(const std::string& scratch_path) {
  TruncateFile(scratch_path, 0);
}

}  // namespace

FetchResult PageFetcher::FetchPage(const std::string& url, const std::string& scratch_path) {
  const int attempts = static_cast<int>(policy_.delays.size()) + 1;
  for (int attempt = 1;; ++attempt) {
    Empty(scratch_path);
    const DownloadOutcome outcome = DownloadToFile(url, scratch_path, settings_, &cancel_);
    last_status_ = outcome.http_status;
    if (outcome.cancelled) {
      Empty(scratch_path);
      return {FetchResult::kCancelled, false, last_status_, {}};
    }
    if (outcome.local_error) {
      Empty(scratch_path);
      throw ScratchFileError(outcome.error);
    }
    if (outcome.transport_ok && !IsPassing(outcome.http_status)) {
      if (IsSuccess(outcome.http_status)) return {FetchResult::kFetched, true, last_status_, {}};
      last_error_ = HttpStatusText(outcome.http_status);
      const auto kind = IsGone(outcome.http_status) ? FetchResult::kGone : FetchResult::kFailed;
      return {kind, true, last_status_, last_error_};
    }
    last_error_ = outcome.transport_ok ? HttpStatusText(outcome.http_status) : outcome.error;
    Empty(scratch_path);
    if (attempt == attempts) return {FetchResult::kFailed, false, last_status_, last_error_};
    if (!cancel_.WaitFor(DelayAfter(attempt, outcome)))
      return {FetchResult::kCancelled, false, last_status_, {}};
  }
}

}  // namespace valmeric
