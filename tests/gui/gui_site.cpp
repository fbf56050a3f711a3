#include "gui_site.h"

#include <chrono>
#include <filesystem>
#include <fstream>

#include "support/small_site.h"

namespace valmeric::test {
namespace {

std::string SubCategoryListPage() {
  return EucPage({"<h4>内科系</h4>", "<li><a href=\"kekka.php/01027110/\">一般内科</a></li>",
                  "<li><a href=\"kekka.php/01027120/\">循環器内科</a></li>"});
}

}  // namespace

GuiSite::GuiSite() : server_(std::make_unique<LocalServer>()) {
  std::filesystem::create_directories(db_folder());
  CreateSmallSiteDatabase(db_path().string());
  server_->server().Get(
      "/doko/city.php", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string prefecture = req.get_param_value("pref_no");
        std::unique_lock lock(mutex_);
        HoldIfAsked(lock, "city:" + prefecture);
        std::vector<std::string> lines = {"<html><body>"};
        if (!empty_city_pages_.contains(std::stoi(prefecture))) {
          lines.push_back("<a href=\"/doko/search.php?pref_no=" + prefecture +
                          "&city_no=" + std::to_string(100 + std::stoi(prefecture)) + "\">");
          lines.push_back("<li><i class=\"ico\"></i>市" + prefecture + "</li></a>");
        }
        lines.push_back("</body></html>");
        res.set_content(EucPage(lines), "text/html; charset=EUC-JP");
      });
  server_->server().Get("/doko/kamoku.php", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(SubCategoryListPage(), "text/html; charset=EUC-JP");
  });
}

std::string GuiSite::Origin() {
  std::lock_guard lock(mutex_);
  if (!started_) server_->Start();
  started_ = true;
  return server_->Origin();
}

std::shared_ptr<PageSource> GuiSite::source() {
  return std::shared_ptr<PageSource>(this, [](PageSource*) {});
}

void GuiSite::GoDown() {
  std::lock_guard lock(mutex_);
  down_ = true;
}

bool GuiSite::HoldIfAsked(std::unique_lock<std::mutex>& lock, const std::string& key,
                          const CancelToken* cancel) {
  if (hold_next_.erase(key) == 0) return true;
  ++holding_;
  ++held_so_far_;
  const int round = release_round_;
  const auto released = [this, round] { return release_all_ || release_round_ != round; };
  // A run's cancel is a token of its own: looked at between short waits. A
  // request the run gives up stays held on the site's side until released,
  // as a server's would.
  while (!released_.wait_for(lock, std::chrono::milliseconds(10), released)) {
    if (cancel && cancel->IsCancelled()) {
      ++given_up_;
      return false;
    }
  }
  --holding_;
  return true;
}

std::optional<std::string> GuiSite::ResultPage(const std::string& pair, const CancelToken& cancel) {
  std::unique_lock lock(mutex_);
  ++requests_[pair];
  if (!HoldIfAsked(lock, pair, &cancel)) return std::nullopt;
  const auto page = pages_.find(pair);
  return page != pages_.end() ? page->second : ResultPageBody(0, {});
}

FetchResult GuiSite::Fetch(const std::string& url, const std::string& scratch_path,
                           const CancelToken& cancel) {
  std::ofstream(scratch_path, std::ios::binary | std::ios::trunc);
  {
    std::lock_guard lock(mutex_);
    if (down_)
      return {FetchResult::kFailed, false, 0, "サーバーに接続できませんでした。(test site)"};
  }
  std::optional<std::string> body = SubCategoryListPage();
  const std::string result_path = "/doko/kekka.php/";
  if (const size_t at = url.find(result_path); at != std::string::npos) {
    const size_t from = at + result_path.size();
    body = ResultPage(url.substr(from, url.find('/', from) - from), cancel);
  }
  if (!body || cancel.IsCancelled()) return {FetchResult::kCancelled, false, 0, {}};
  std::ofstream(scratch_path, std::ios::binary | std::ios::trunc) << *body;
  return {FetchResult::kFetched, true, 200, {}};
}

void GuiSite::EmptyCityPage(int prefecture) {
  std::lock_guard lock(mutex_);
  empty_city_pages_.insert(prefecture);
}

GuiSite::~GuiSite() {
  Release();
  if (started_) server_->Stop();
}

const std::vector<std::string>& GuiSite::Pairs() {
  return SmallSitePairs();
}

std::vector<PageFacility> GuiSite::Facilities(int from, int to) {
  return NumberedFacilities(from, to, "さくらクリニック");
}

void GuiSite::SetFivePages() {
  SetPage(Pairs()[0], 3, Facilities(1, 3));
  SetPage(Pairs()[1], 4, Facilities(2, 5));  // 2 and 3 again
  SetPage(Pairs()[2], 1, Facilities(1, 1));
  SetPage(Pairs()[3], 0, {});
}

void GuiSite::SetPage(const std::string& pair, int count,
                      const std::vector<PageFacility>& facilities) {
  std::lock_guard lock(mutex_);
  pages_[pair] = ResultPageBody(count, facilities);
}

void GuiSite::HoldNext(const std::string& pair) {
  std::lock_guard lock(mutex_);
  hold_next_.insert(pair);
}

bool GuiSite::Holding() const {
  std::lock_guard lock(mutex_);
  return holding_ > 0;
}

int GuiSite::HeldSoFar() const {
  std::lock_guard lock(mutex_);
  return held_so_far_;
}

void GuiSite::ReleaseHeld() {
  {
    std::lock_guard lock(mutex_);
    ++release_round_;
    holding_ -= given_up_;
    given_up_ = 0;
  }
  released_.notify_all();
}

void GuiSite::Release() {
  {
    std::lock_guard lock(mutex_);
    release_all_ = true;
    holding_ -= given_up_;
    given_up_ = 0;
  }
  released_.notify_all();
}

int GuiSite::Requests(const std::string& pair) const {
  std::lock_guard lock(mutex_);
  const auto it = requests_.find(pair);
  return it == requests_.end() ? 0 : it->second;
}

}  // namespace valmeric::test
