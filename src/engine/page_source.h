#pragma once

#include <memory>
#include <string>

#include "common/network/page_fetcher.h"
#include "common/platform/cancel_token.h"

namespace valmeric {

struct RunSettings;

// Where a run's pages come from. The worker asks it for every page it reads;
// the program's own source fetches them from the site over HTTP, and tests
// hand the worker a site held in memory.
class PageSource {
 public:
  virtual ~PageSource() = default;
  // Puts the page at url (its answer's body, when one came) into
  // scratch_path, emptied first, and says what became of it. cancel cuts a
  // transfer or a wait under way short (kCancelled). May be called from any
  // one run's worker at a time. Throws ScratchFileError when the scratch
  // file cannot be written.
  virtual FetchResult Fetch(const std::string& url, const std::string& scratch_path,
                            const CancelToken& cancel) = 0;
};

// The site over HTTP, with settings' download options and retries.
std::shared_ptr<PageSource> SitePageSource(const RunSettings& settings);

}  // namespace valmeric
