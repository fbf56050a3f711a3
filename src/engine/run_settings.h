#pragma once

#include <chrono>
#include <memory>

#include "common/network/download.h"
#include "common/network/page_fetcher.h"

namespace valmeric {

class PageSource;

// How a run reaches the site and how patient it is. The defaults here are the
// program's; the command line and tests override some of them.
struct RunSettings {
  DownloadSettings download;
  RetryPolicy retry;
  std::chrono::milliseconds page_pause{500};  // after each result page
  int max_failed_entries_in_row = 3;          // then the site counts as down
  // How often a run commits its progress (the CSV made durable first): a
  // crash costs at most the entries read since. Zero commits after each entry.
  std::chrono::milliseconds checkpoint_interval{1000};
  // Where the pages come from; none: the site over HTTP, as download and
  // retry say.
  std::shared_ptr<PageSource> pages;
};

}  // namespace valmeric
