#include "engine/page_source.h"

#include "engine/run_settings.h"

namespace valmeric {
namespace {

class HttpPageSource final : public PageSource {
 public:
  HttpPageSource(DownloadSettings download, RetryPolicy retry)
      : download_(std::move(download)), retry_(std::move(retry)) {}

  FetchResult Fetch(const std::string& url, const std::string& scratch_path,
                    const CancelToken& cancel) override {
    return PageFetcher(download_, retry_, cancel).FetchPage(url, scratch_path);
  }

 private:
  const DownloadSettings download_;
  const RetryPolicy retry_;
};

}  // namespace

std::shared_ptr<PageSource> SitePageSource(const RunSettings& settings) {
  return std::make_shared<HttpPageSource>(settings.download, settings.retry);
}

}  // namespace valmeric
