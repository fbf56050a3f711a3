#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace valmeric::sitesim {

// How a result page of more than one page links to its next page
// (--next-link). kQuery is the site as it usually is: a 次へ anchor in the
// pager, an absolute path with ?page=N. kRel puts <link rel="next"> in the
// head instead of the anchor; kPath names the page by a path segment
// (.../page/N/, served then besides ?page=N); kRelative writes a relative
// href and varies the anchor's text. The last two are faults: kLoop sends the
// last page's link back to page 1, and kOtherHost points the link at
// another host.
enum class NextLinkForm { kQuery, kRel, kPath, kRelative, kLoop, kOtherHost };

// Misbehaviour on demand, for reliability tests of a client. Rates are
// probabilities per site request; which requests misbehave depends only on
// the seed and the request's arrival number, so a run that sends the same
// requests in the same order meets the same faults.
struct FaultOptions {
  std::uint64_t seed = 0;
  int latency_ms = 0;      // added before every site response
  double fail_rate = 0.0;  // answer with one of fail_codes
  std::vector<int> fail_codes = {503};
  int retry_after_s = 1;    // Retry-After of a 429
  double drop_rate = 0.0;   // close the connection half-way through the body
  double stall_rate = 0.0;  // pause half-way through the body
  int stall_ms = 5000;
  double redirect_loop_rate = 0.0;  // send the client round a redirect loop
  double gzip_cut_rate = 0.0;       // send the page as gzip cut after two thirds, framing whole
  int oversize_mb = 0;              // size of /_fault/big and of padded result pages
  bool oversize_results = false;    // pad every result page to oversize_mb
  long fail_after = -1;             // after this many result pages every request gets 503
  int fail_pref = 0;                // the city list of this prefecture answers 500
  // Cities (prefecture * 1000 + city code, e.g. 31201) whose result pages
  // answer 404, as for a town merged away; and cities whose result pages
  // list nothing, for the run such a town should leave.
  std::vector<int> gone_cities;
  std::vector<int> empty_cities;
  NextLinkForm next_link = NextLinkForm::kQuery;
};

enum class FaultKind { kNone, kFail, kDrop, kStall, kRedirectLoop, kGzipCut };

struct FaultDecision {
  FaultKind kind = FaultKind::kNone;
  int status = 200;  // for kFail
};

class FaultInjector final {
 public:
  explicit FaultInjector(FaultOptions options) : options_(std::move(options)) {}

  // The fault, if any, for the site request that arrived as number `request`
  // (counting from 0).
  FaultDecision Decide(std::uint64_t request) const;
  // Whether the site has "died" after serving `result_pages` result pages.
  bool Dead(std::uint64_t result_pages) const {
    return options_.fail_after >= 0 &&
           result_pages >= static_cast<std::uint64_t>(options_.fail_after);
  }

  const FaultOptions& options() const { return options_; }

 private:
  FaultOptions options_;
};

}  // namespace valmeric::sitesim
