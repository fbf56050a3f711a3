#include "window_model/table_rebuilder.h"

#include <stdexcept>
#include <utility>

#include "common/text/text_encoding.h"

namespace valmeric::window_model {

TableRebuilder::TableRebuilder(std::filesystem::path database, DownloadSettings download,
                               std::function<void()> wake, RetryPolicy retry)
    : database_(std::move(database)),
      download_(std::move(download)),
      retry_(std::move(retry)),
      wake_(std::move(wake)) {}

TableRebuilder::~TableRebuilder() {
  if (thread_.joinable()) thread_.join();
}

void TableRebuilder::Start(RebuildTable table) {
  // Taken first: a database in use is refused before anything starts.
  auto rebuild = std::make_unique<TableRebuild>(database_, download_, retry_);
  if (running()) throw std::logic_error("a table rebuild is under way");
  {
    std::lock_guard lock(mutex_);
    news_ = News{};
  }
  rebuild_ = std::move(rebuild);
  try {
    thread_ = std::thread([this, table] {
      std::exception_ptr failure;
      try {
        rebuild_->Run(table, [this](int prefecture) {
          {
            std::lock_guard lock(mutex_);
            news_.prefecture = prefecture;
          }
          wake_();
        });
      } catch (...) {
        failure = std::current_exception();
      }
      {
        std::lock_guard lock(mutex_);
        news_.ended = true;
        news_.failure = failure;
      }
      wake_();
    });
  } catch (...) {
    rebuild_.reset();
    throw;
  }
}

void TableRebuilder::Poll() {
  News news;
  {
    std::lock_guard lock(mutex_);
    news = std::exchange(news_, News{});
  }
  if (news.ended) {
    // Over before anything is shown, so that no view call can leave it running;
    // the database is free again before the end is shown.
    thread_.join();
    rebuild_.reset();
  }
  if (news.prefecture != 0 && view_.show_status)
    view_.show_status(SjisToUtf8(CityBuilderStatus(news.prefecture)));
  if (!news.ended) return;
  if (news.failure) std::rethrow_exception(news.failure);
  if (view_.show_message) view_.show_message({msg::kBuilderDone, msg::kApplicationTitle, mb::kOk});
}

}  // namespace valmeric::window_model
