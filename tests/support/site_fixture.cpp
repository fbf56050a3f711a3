#include "support/site_fixture.h"

#include "support/euc.h"
#include "support/small_site.h"
#include "support/test_pages.h"

#include <chrono>
#include <thread>

namespace valmeric::test {

SiteFixture::SiteFixture()
    : db_path_(dir_.File("hpt_data.db")), server_(std::make_unique<LocalServer>()) {
  Start();
}

SiteFixture::SiteFixture(const TestCertificate& tls)
    : db_path_(dir_.File("hpt_data.db")), server_(std::make_unique<LocalServer>(tls)) {
  Start();
}

SiteFixture::~SiteFixture() {
  {
    std::lock_guard lock(mutex_);
    stalls_ended_ = true;
  }
  stall_ended_.notify_all();
  server_->Stop();
}

void SiteFixture::Start() {
  CreateSmallSiteDatabase(db_path_);
  server_->server().Get(R"(/doko/kekka\.php/(\d+)/)", [this](const httplib::Request& req,
                                                             httplib::Response& res) {
    ++result_requests_;
    std::lock_guard lock(mutex_);
    if (const auto failing = failing_pairs_.find(req.matches[1]); failing != failing_pairs_.end()) {
      res.status = failing->second;
      res.set_content("<html>error</html>", "text/html");
      return;
    }
    if (fail_next_ > 0) {
      --fail_next_;
      res.status = fail_status_;
      if (retry_after_s_ >= 0) res.set_header("Retry-After", std::to_string(retry_after_s_));
      res.set_content("<html>busy</html>", "text/html");
      return;
    }
    const auto stalling = stalling_pairs_.find(req.matches[1]);
    if (stall_next_ > 0 || stalling != stalling_pairs_.end()) {
      const int ms = stall_next_ > 0 ? stall_ms_ : stalling->second;
      if (stall_next_ > 0) --stall_next_;
      res.set_content_provider(1000, "text/html",
                               [this, ms](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset > 0) return false;
                                 sink.write("<html><body>", 12);
                                 std::unique_lock stall(mutex_);
                                 stall_ended_.wait_for(stall, std::chrono::milliseconds(ms),
                                                       [this] { return stalls_ended_; });
                                 return false;
                               });
      return;
    }
    const auto page = pages_.find(req.matches[1]);
    res.set_content(page != pages_.end() ? page->second : ResultPageBody(0, {}),
                    "text/html; charset=EUC-JP");
  });
  // The sub-category list page, which tells a live site from a dead one.
  server_->server().Get(
      "/doko/kamoku.php", [this](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(mutex_);
        res.status = sub_category_list_status_;
        res.set_content(ToEuc(std::string(pages::kSubCategoryPage)), "text/html; charset=EUC-JP");
      });
  server_->Start();
}

void SiteFixture::FailSubCategoryList(int status) {
  std::lock_guard lock(mutex_);
  sub_category_list_status_ = status;
}

void SiteFixture::SetPage(const std::string& pair, int count,
                          const std::vector<PageFacility>& facilities) {
  std::lock_guard lock(mutex_);
  pages_[pair] = ResultPageBody(count, facilities);
}

void SiteFixture::SetRawPage(const std::string& pair, const std::string& body) {
  std::lock_guard lock(mutex_);
  pages_[pair] = body;
}

void SiteFixture::StallNext(int n, int ms) {
  std::lock_guard lock(mutex_);
  stall_next_ = n;
  stall_ms_ = ms;
}

void SiteFixture::FailPair(const std::string& pair, int status) {
  std::lock_guard lock(mutex_);
  failing_pairs_[pair] = status;
}

void SiteFixture::StallPair(const std::string& pair, int ms) {
  std::lock_guard lock(mutex_);
  stalling_pairs_[pair] = ms;
}

void SiteFixture::HealPairs() {
  std::lock_guard lock(mutex_);
  failing_pairs_.clear();
  stalling_pairs_.clear();
}

void SiteFixture::FailNext(int n, int status, int retry_after_s) {
  std::lock_guard lock(mutex_);
  fail_next_ = n;
  fail_status_ = status;
  retry_after_s_ = retry_after_s;
}

std::vector<PageFacility> SiteFixture::Facilities(int from, int to) {
  return NumberedFacilities(from, to, "医療法人 さくら&amp;会 クリニック");
}

const std::vector<std::string>& SiteFixture::Pairs() {
  return SmallSitePairs();
}

}  // namespace valmeric::test
