#include "site_fixture.h"

#include <chrono>
#include <thread>

namespace valmeric::test {

SiteFixture::SiteFixture() : db_path_(dir_.File("hpt_data.db")), server_(std::make_unique<LocalServer>()) {
  Start();
}

SiteFixture::SiteFixture(const TestCertificate& tls)
    : db_path_(dir_.File("hpt_data.db")), server_(std::make_unique<LocalServer>(tls)) {
  Start();
}

void SiteFixture::Start() {
  CreateTestDatabase(db_path_, {{1, 101, "札幌市中央区"}, {1, 202, "函館市"}, {2, 201, "青森市"}},
                     {{1, 110, "一般内科"}, {1, 120, "循環器内科"}, {9, 910, "一般歯科"}});
  server_->server().Get(R"(/doko/kekka\.php/(\d+)/)", [this](const httplib::Request& req,
                                                             httplib::Response& res) {
    ++result_requests_;
    std::lock_guard lock(mutex_);
    if (fail_next_ > 0) {
      --fail_next_;
      res.status = fail_status_;
      if (retry_after_s_ >= 0) res.set_header("Retry-After", std::to_string(retry_after_s_));
      res.set_content("<html>busy</html>", "text/html");
      return;
    }
    if (stall_next_ > 0) {
      --stall_next_;
      const int ms = stall_ms_;
      res.set_content_provider(1000, "text/html", [ms](size_t offset, size_t, httplib::DataSink& sink) {
        if (offset > 0) return false;
        sink.write("<html><body>", 12);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return false;
      });
      return;
    }
    const auto page = pages_.find(req.matches[1]);
    res.set_content(page != pages_.end() ? page->second : ResultPageBody(0, {}),
                    "text/html; charset=EUC-JP");
  });
  server_->Start();
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

void SiteFixture::FailNext(int n, int status, int retry_after_s) {
  std::lock_guard lock(mutex_);
  fail_next_ = n;
  fail_status_ = status;
  retry_after_s_ = retry_after_s;
}

std::vector<PageFacility> SiteFixture::Facilities(int from, int to) {
  std::vector<PageFacility> list;
  for (int i = from; i <= to; ++i) {
    PageFacility f;
    f.code = "0110" + std::to_string(100000 + i);
    f.name = "医療法人 さくら&amp;会 クリニック" + std::to_string(i);
    list.push_back(f);
  }
  return list;
}

const std::vector<std::string>& SiteFixture::Pairs() {
  static const std::vector<std::string> pairs = {"01101110", "01101120", "01202110", "01202120"};
  return pairs;
}

}  // namespace valmeric::test
