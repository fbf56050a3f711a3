#include "gui_site.h"

#include <filesystem>

#include "support/test_database.h"

namespace valmeric::test {

GuiSite::GuiSite() : server_(std::make_unique<LocalServer>()) {
  std::filesystem::create_directories(db_folder());
  CreateTestDatabase(db_path().string(), {{1, 101, "札幌市中央区"}, {1, 202, "函館市"}, {2, 201, "青森市"}},
                     {{1, 110, "一般内科"}, {1, 120, "循環器内科"}, {9, 910, "一般歯科"}});
  server_->server().Get(R"(/doko/kekka\.php/(\d+)/)", [this](const httplib::Request& req,
                                                             httplib::Response& res) {
    const std::string pair = req.matches[1];
    std::unique_lock lock(mutex_);
    ++requests_[pair];
    if (hold_next_.erase(pair) > 0) {
      ++holding_;
      released_.wait(lock, [this] { return release_all_; });
      --holding_;
    }
    const auto page = pages_.find(pair);
    res.set_content(page != pages_.end() ? page->second : ResultPageBody(0, {}),
                    "text/html; charset=EUC-JP");
  });
  server_->Start();
}

GuiSite::~GuiSite() {
  Release();
  server_->Stop();
}

const std::vector<std::string>& GuiSite::Pairs() {
  static const std::vector<std::string> pairs = {"01101110", "01101120", "01202110", "01202120"};
  return pairs;
}

std::vector<PageFacility> GuiSite::Facilities(int from, int to) {
  std::vector<PageFacility> list;
  for (int i = from; i <= to; ++i) {
    PageFacility f;
    f.code = "0110" + std::to_string(100000 + i);
    f.name = "さくらクリニック" + std::to_string(i);
    list.push_back(f);
  }
  return list;
}

void GuiSite::SetFivePages() {
  SetPage(Pairs()[0], 3, Facilities(1, 3));
  SetPage(Pairs()[1], 4, Facilities(2, 5));  // 2 and 3 again
  SetPage(Pairs()[2], 1, Facilities(1, 1));
  SetPage(Pairs()[3], 0, {});
}

void GuiSite::SetPage(const std::string& pair, int count, const std::vector<PageFacility>& facilities) {
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
