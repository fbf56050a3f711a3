#include "gui_site.h"

#include <filesystem>

#include "support/small_site.h"

namespace valmeric::test {

GuiSite::GuiSite() : server_(std::make_unique<LocalServer>()) {
  std::filesystem::create_directories(db_folder());
  CreateSmallSiteDatabase(db_path().string());
  server_->server().Get(
      R"(/doko/kekka\.php/(\d+)/)", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string pair = req.matches[1];
        std::unique_lock lock(mutex_);
        ++requests_[pair];
        HoldIfAsked(lock, pair);
        const auto page = pages_.find(pair);
        res.set_content(page != pages_.end() ? page->second : ResultPageBody(0, {}),
                        "text/html; charset=EUC-JP");
      });
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
    res.set_content(
        EucPage({"<h4>内科系</h4>", "<li><a href=\"kekka.php/01027110/\">一般内科</a></li>",
                 "<li><a href=\"kekka.php/01027120/\">循環器内科</a></li>"}),
        "text/html; charset=EUC-JP");
  });
  server_->Start();
}

void GuiSite::HoldIfAsked(std::unique_lock<std::mutex>& lock, const std::string& key) {
  if (hold_next_.erase(key) == 0) return;
  ++holding_;
  ++held_so_far_;
  const int round = release_round_;
  released_.wait(lock, [this, round] { return release_all_ || release_round_ != round; });
  --holding_;
}

void GuiSite::EmptyCityPage(int prefecture) {
  std::lock_guard lock(mutex_);
  empty_city_pages_.insert(prefecture);
}

GuiSite::~GuiSite() {
  Release();
  server_->Stop();
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
  }
  released_.notify_all();
}

void GuiSite::Release() {
  {
    std::lock_guard lock(mutex_);
    release_all_ = true;
  }
  released_.notify_all();
}

int GuiSite::Requests(const std::string& pair) const {
  std::lock_guard lock(mutex_);
  const auto it = requests_.find(pair);
  return it == requests_.end() ? 0 : it->second;
}

}  // namespace valmeric::test
