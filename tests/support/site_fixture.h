#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "refdb/reference_db.h"
#include "support/local_server.h"
#include "support/result_page.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace valmeric::test {

// A small directory site on 127.0.0.1 and a database that matches it: two
// cities of prefecture 1 and two sub-categories of category 1. Each result
// page can be set, and the server can be told to fail its next requests.
class SiteFixture {
 public:
  SiteFixture();
  explicit SiteFixture(const TestCertificate& tls);
  // Ends every stall at once, so the server stops without waiting them out.
  ~SiteFixture();

  // The result page of (area code + sub-category code), e.g. "01101110".
  void SetPage(const std::string& pair, int count, const std::vector<PageFacility>& facilities);
  // The result page's body exactly as given (already in the site's encoding).
  void SetRawPage(const std::string& pair, const std::string& body);
  // The next n result-page requests answer with status (429 carries Retry-After).
  void FailNext(int n, int status, int retry_after_s = -1);
  // The next n result-page requests send half a page and then stall for ms.
  void StallNext(int n, int ms);
  // Every request for pair answers with status, however often it is asked.
  void FailPair(const std::string& pair, int status);
  // Every request for pair sends half a page and then stalls for ms.
  void StallPair(const std::string& pair, int ms);
  // The sub-category list page answers with status from now on.
  void FailSubCategoryList(int status);
  // Ends FailPair and StallPair: every pair answers with its page again.
  void HealPairs();
  int ResultRequests() const { return result_requests_; }

  LocalServer& server() { return *server_; }
  const std::string& db_path() const { return db_path_; }
  std::string File(const std::string& name) const { return dir_.File(name); }

  // Facilities shared between pages, so the duplicate filter matters.
  static std::vector<PageFacility> Facilities(int from, int to);

  // The four pairs of the plan, in plan order.
  static const std::vector<std::string>& Pairs();

 private:
  void Start();

  TempDir dir_;
  std::string db_path_;
  std::unique_ptr<LocalServer> server_;
  std::mutex mutex_;
  std::map<std::string, std::string> pages_;
  int fail_next_ = 0;
  int fail_status_ = 503;
  int retry_after_s_ = -1;
  int stall_next_ = 0;
  int stall_ms_ = 0;
  bool stalls_ended_ = false;
  std::condition_variable stall_ended_;
  std::map<std::string, int> failing_pairs_;
  std::map<std::string, int> stalling_pairs_;
  int sub_category_list_status_ = 200;
  std::atomic<int> result_requests_{0};
};

}  // namespace valmeric::test
