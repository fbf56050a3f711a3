#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "common/network/download.h"
#include "common/platform/cancel_token.h"
#include "common/platform/scratch_file.h"

namespace valmeric {

struct RetryPolicy {
  // The waits before the second, third, ... attempt.
  std::vector<std::chrono::milliseconds> delays{std::chrono::seconds(2), std::chrono::seconds(4)};
  // The longest wait a server's Retry-After may ask for.
  std::chrono::milliseconds retry_after_cap = std::chrono::seconds(60);
};

// What became of one page.
struct FetchResult {
  enum Kind {
    kFetched,    // a 2xx answer arrived whole
    kGone,       // the site answered that the page does not exist (404 or 410)
    kFailed,     // no 2xx answer after the retries
    kCancelled,  // stopped on request: the page was not read, and nothing is said of the site
  };
  Kind kind = kFailed;
  // The scratch file holds an answer's body to read: a 2xx page, or an error
  // page such as a 404 (which is read, though the entry counts as not fetched).
  bool has_body = false;
  long status = 0;  // the last answer's HTTP status, 0 when none came
  // Why the page could not be fetched, as last_error() says it; empty for a
  // page fetched or a cancel.
  std::string error;
};

// Fetches one page into a scratch file, retrying transport failures, 429 and
// 5xx answers. The scratch file is emptied first, so after a failed fetch it
// is empty (or absent, when it never existed) and never holds an earlier page.
// It is emptied in place, never removed, so a ScratchFile stays its run's own.
// A cancel request stops the transfer or the wait under way.
class PageFetcher final {
 public:
  PageFetcher(DownloadSettings settings, RetryPolicy policy, const CancelToken& cancel);

  // Throws ScratchFileError when the scratch file cannot be written.
  FetchResult FetchPage(const std::string& url, const std::string& scratch_path);
  // True when an answer's body is in scratch_path (see FetchResult::has_body).
  bool Fetch(const std::string& url, const std::string& scratch_path) {
    return FetchPage(url, scratch_path).has_body;
  }

  // The delay before attempt number attempt + 1 (attempt counts from 1).
  std::chrono::milliseconds DelayAfter(int attempt, const DownloadOutcome& outcome) const;

  // Why the last page that could not be fetched failed, a Japanese sentence
  // with "(HTTP 403)" or the library's words after it; empty while every page
  // arrived.
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
