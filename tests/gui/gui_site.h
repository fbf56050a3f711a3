#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/page_source.h"
#include "support/local_server.h"
#include "support/result_page.h"
#include "support/temp_dir.h"

namespace valmeric::test {

// A program folder (with db/hpt_data.db holding two cities of prefecture 1
// and two sub-categories of category 1) and a directory site whose result
// pages can be held back, so a test can act while a run waits. A run reads
// the site in memory, as its page source; the table builders read its list
// pages over HTTP, from a server on 127.0.0.1 started when Origin is first
// asked for. Each prefecture's city list page names one city (prefecture N:
// city 100 + N), the sub-category list page two.
class GuiSite final : public PageSource {
 public:
  GuiSite();
  ~GuiSite() override;

  // The four pairs a run of category 1 and prefecture 1 requests, in order.
  static const std::vector<std::string>& Pairs();
  // Facilities with codes from..to.
  static std::vector<PageFacility> Facilities(int from, int to);
  // Pages for the four pairs that hold five facilities, some of them twice.
  void SetFivePages();

  void SetPage(const std::string& pair, int count, const std::vector<PageFacility>& facilities);
  // The next request for pair waits until Release (or the end of the test);
  // "city:N" names the city list page of prefecture N.
  void HoldNext(const std::string& pair);
  // The city list page of prefecture lists nothing (as under maintenance).
  void EmptyCityPage(int prefecture);
  // True once a held request has arrived and is waiting.
  bool Holding() const;
  void Release();
  // Requests that have been held so far, released or not.
  int HeldSoFar() const;
  // Lets the requests held now go; later ones named by HoldNext still wait.
  void ReleaseHeld();
  int Requests(const std::string& pair) const;
  // From now on no request of a run reaches the site, as when it is down.
  void GoDown();

  // The site as a run's page source, kept alive by the test.
  std::shared_ptr<PageSource> source();
  FetchResult Fetch(const std::string& url, const std::string& scratch_path,
                    const CancelToken& cancel) override;
  // The list pages' server, started on the first call.
  std::string Origin();
  const std::filesystem::path& root() const { return dir_.path(); }
  std::filesystem::path db_folder() const { return dir_.path() / "db"; }
  std::filesystem::path db_path() const { return db_folder() / "hpt_data.db"; }
  std::string db_file() const { return db_path().string(); }
  std::string File(const std::string& name) const { return dir_.File(name); }

 private:
  // Waits while key is to be held, or until cancel is set (then false);
  // lock holds mutex_.
  bool HoldIfAsked(std::unique_lock<std::mutex>& lock, const std::string& key,
                   const CancelToken* cancel = nullptr);
  // The body of the result page of pair, once it may go.
  std::optional<std::string> ResultPage(const std::string& pair, const CancelToken& cancel);

  TempDir dir_;
  std::unique_ptr<LocalServer> server_;
  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, std::string> pages_;
  std::map<std::string, int> requests_;
  std::set<std::string> hold_next_;
  std::set<int> empty_city_pages_;
  int holding_ = 0;
  int given_up_ = 0;  // of those, requests the run gave up (cancelled)
  int held_so_far_ = 0;
  int release_round_ = 0;
  bool release_all_ = false;
  bool down_ = false;
  bool started_ = false;
};

}  // namespace valmeric::test
