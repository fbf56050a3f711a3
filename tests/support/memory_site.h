#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/page_source.h"
#include "support/result_page.h"
#include "support/temp_dir.h"

namespace valmeric::test {

// The small directory site held in memory, handed to a run as its page
// source, and a database that matches it: two cities of prefecture 1 and two
// sub-categories of category 1. Each result page can be set; a page can be
// made to fail, to take its time (a wait a cancel cuts short) or to be
// watched as it is asked for. A page's answer is final: retries, timeouts and
// the transfer itself are the HTTP source's, tested against a real server.
class MemorySite final : public PageSource {
 public:
  MemorySite();
  ~MemorySite() override;
  MemorySite(const MemorySite&) = delete;
  MemorySite& operator=(const MemorySite&) = delete;

  // The result page of (area code + sub-category code), e.g. "01101110".
  // pair: "01101110", or a later page as its address continues the pair's:
  // "01101110?page=2". A page may link its next one (next_href, as written).
  void SetPage(const std::string& pair, int count, const std::vector<PageFacility>& facilities,
               const std::string& next_href = {});
  // The result page's body exactly as given (already in the site's encoding).
  void SetRawPage(const std::string& pair, const std::string& body);
  // Every request for pair answers with status, however often it is asked.
  void FailPair(const std::string& pair, int status);
  // The next n result-page requests take ms before their page arrives; a
  // cancel meanwhile gives the page up.
  void DelayNext(int n, int ms);
  // Every request for pair takes ms before its page arrives.
  void DelayPair(const std::string& pair, int ms);
  // Ends FailPair and DelayPair: every pair answers with its page at once again.
  void HealPairs();
  // The sub-category list page answers with status from now on.
  void FailSubCategoryList(int status);
  // From now on no request reaches the site, as when its server is down.
  void GoDown();
  // Called with each result page's pair as it is asked for, on the asking
  // thread, before the answer: a point at which a test may act (cancel).
  void OnRequest(std::function<void(const std::string& pair)> hook);
  int ResultRequests() const { return result_requests_; }

  const std::string& db_path() const { return db_path_; }
  std::string File(const std::string& name) const { return dir_.File(name); }
  // The site as a run's page source, kept alive by the test.
  std::shared_ptr<PageSource> source();

  // Facilities shared between pages, so the duplicate filter matters.
  static std::vector<PageFacility> Facilities(int from, int to);
  // The four pairs of the plan, in plan order.
  static const std::vector<std::string>& Pairs();

  FetchResult Fetch(const std::string& url, const std::string& scratch_path,
                    const CancelToken& cancel) override;

 private:
  struct Answer {
    long status = 200;
    std::string body;
    bool has_body = true;
    int wait_ms = 0;  // before it arrives
  };
  Answer ResultAnswer(const std::string& pair);
  Answer SubCategoryListAnswer();
  FetchResult Deliver(const Answer& answer, const std::string& scratch_path,
                      const CancelToken& cancel);

  TempDir dir_;
  std::string db_path_;
  mutable std::mutex mutex_;
  std::map<std::string, std::string> pages_;
  std::map<std::string, int> failing_pairs_;
  std::map<std::string, int> delayed_pairs_;
  int delay_next_ = 0;
  int delay_ms_ = 0;
  int sub_category_list_status_ = 200;
  bool down_ = false;
  std::function<void(const std::string&)> on_request_;
  std::atomic<int> result_requests_{0};
};

}  // namespace valmeric::test
