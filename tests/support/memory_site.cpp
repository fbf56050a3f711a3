#include "support/memory_site.h"

#include <algorithm>
#include <fstream>

#include "common/network/download.h"
#include "support/euc.h"
#include "support/small_site.h"
#include "support/test_pages.h"

namespace valmeric::test {
namespace {

constexpr std::string_view kResultPath = "/doko/kekka.php/";

// "01101110" from ".../doko/kekka.php/01101110/", and for a later page what
// follows that: "01101110?page=2" from ".../01101110/?page=2",
// "01101110page/2/" from ".../01101110/page/2/"; empty for another page.
std::string PairOf(const std::string& url) {
  const size_t start = url.find(kResultPath);
  if (start == std::string::npos) return {};
  const size_t from = start + kResultPath.size();
  const size_t slash = std::min(url.find('/', from), url.size());
  return url.substr(from, slash - from) + url.substr(std::min(slash + 1, url.size()));
}

void WriteScratch(const std::string& path, const std::string& body) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << body;
  if (!file.flush()) throw ScratchFileError("cannot write " + path);
}

}  // namespace

MemorySite::MemorySite() : db_path_(dir_.File("hpt_data.db")) {
  CreateSmallSiteDatabase(db_path_);
}

MemorySite::~MemorySite() = default;

std::shared_ptr<PageSource> MemorySite::source() {
  return std::shared_ptr<PageSource>(this, [](PageSource*) {});
}

void MemorySite::SetPage(const std::string& pair, int count,
                         const std::vector<PageFacility>& facilities,
                         const std::string& next_href) {
  SetRawPage(pair, ResultPageBody(count, facilities, next_href));
}

void MemorySite::SetRawPage(const std::string& pair, const std::string& body) {
  std::lock_guard lock(mutex_);
  pages_[pair] = body;
}

void MemorySite::FailPair(const std::string& pair, int status) {
  std::lock_guard lock(mutex_);
  failing_pairs_[pair] = status;
}

void MemorySite::DelayNext(int n, int ms) {
  std::lock_guard lock(mutex_);
  delay_next_ = n;
  delay_ms_ = ms;
}

void MemorySite::DelayPair(const std::string& pair, int ms) {
  std::lock_guard lock(mutex_);
  delayed_pairs_[pair] = ms;
}

void MemorySite::HealPairs() {
  std::lock_guard lock(mutex_);
  failing_pairs_.clear();
  delayed_pairs_.clear();
}

void MemorySite::FailSubCategoryList(int status) {
  std::lock_guard lock(mutex_);
  sub_category_list_status_ = status;
}

void MemorySite::GoDown() {
  std::lock_guard lock(mutex_);
  down_ = true;
}

void MemorySite::OnRequest(std::function<void(const std::string&)> hook) {
  std::lock_guard lock(mutex_);
  on_request_ = std::move(hook);
}

MemorySite::Answer MemorySite::ResultAnswer(const std::string& pair) {
  std::lock_guard lock(mutex_);
  if (const auto failing = failing_pairs_.find(pair); failing != failing_pairs_.end()) {
    return {failing->second, "<html>error</html>", failing->second < 500, 0};
  }
  int wait_ms = 0;
  if (delay_next_ > 0) {
    --delay_next_;
    wait_ms = delay_ms_;
  } else if (const auto delayed = delayed_pairs_.find(pair); delayed != delayed_pairs_.end()) {
    wait_ms = delayed->second;
  }
  const auto page = pages_.find(pair);
  return {200, page != pages_.end() ? page->second : ResultPageBody(0, {}), true, wait_ms};
}

MemorySite::Answer MemorySite::SubCategoryListAnswer() {
  std::lock_guard lock(mutex_);
  return {sub_category_list_status_, ToEuc(std::string(pages::kSubCategoryPage)), true, 0};
}

FetchResult MemorySite::Fetch(const std::string& url, const std::string& scratch_path,
                              const CancelToken& cancel) {
  WriteScratch(scratch_path, "");
  const std::string pair = PairOf(url);
  std::function<void(const std::string&)> hook;
  bool down = false;
  {
    std::lock_guard lock(mutex_);
    hook = on_request_;
    down = down_;
  }
  if (down)
    return {FetchResult::kFailed, false, 0, "サーバーに接続できませんでした。(memory site)"};
  if (pair.empty()) return Deliver(SubCategoryListAnswer(), scratch_path, cancel);
  ++result_requests_;
  if (hook) hook(pair);
  return Deliver(ResultAnswer(pair), scratch_path, cancel);
}

FetchResult MemorySite::Deliver(const Answer& answer, const std::string& scratch_path,
                                const CancelToken& cancel) {
  if (!cancel.WaitFor(std::chrono::milliseconds(answer.wait_ms))) {
    return {FetchResult::kCancelled, false, 0, {}};
  }
  if (answer.has_body) WriteScratch(scratch_path, answer.body);
  if (answer.status >= 200 && answer.status < 300) {
    return {FetchResult::kFetched, true, answer.status, {}};
  }
  const auto kind =
      answer.status == 404 || answer.status == 410 ? FetchResult::kGone : FetchResult::kFailed;
  return {kind, answer.has_body, answer.status, HttpStatusText(answer.status)};
}

std::vector<PageFacility> MemorySite::Facilities(int from, int to) {
  return NumberedFacilities(from, to, "医療法人 さくら&amp;会 クリニック");
}

const std::vector<std::string>& MemorySite::Pairs() {
  return SmallSitePairs();
}

}  // namespace valmeric::test
