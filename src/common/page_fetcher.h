#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "common/download.h"
#include "common/cancel_token.h"
#include "common/scratch_file.h"

namespace valmeric {

struct RetryPolicy {
  // The waits before the second, third, ... attempt.
  std::vector<std::chrono::milliseconds> delays{std::chrono::seconds(2), std::chrono::seconds(4)};
  // The longest wait a server's Retry-After may ask for.
  std::chrono::milliseconds retry_after_cap = std::chrono::seconds(60);
};

// Fetches one page into a scratch file, retrying transport failures, 429 and
// 5xx answers. The scratch file is emptied first, so after a failed fetch it
// is empty (or absent, when it never existed) and never holds an earlier page.
// It is emptied in place, never removed, so a ScratchFile stays its run's own.
class PageFetcher final {
 public:
  PageFetcher(DownloadSettings settings, RetryPolicy policy, const CancelToken& cancel);

  // True when the page arrived; its body is then in scratch_path. Throws
  // ScratchFileError when the scratch file cannot be written.
  bool Fetch(const std::string& url, const std::string& scratch_path);

  // The delay before attempt number attempt + 1 (attempt counts from 1).
  std::chrono::milliseconds DelayAfter(int attempt, const DownloadOutcome& outcome) const;

  const std::string& last_error() const { return last_error_; }
  // HTTP status of the last answer, 0 when none came.
  long last_status() const { return last_status_; }

 private:
  DownloadSettings settings_;
  RetryPolicy policy_;
  const CancelToken& cancel_;
  std::string last_error_;
  long last_status_ = 0;
};

}  // namespace valmeric
