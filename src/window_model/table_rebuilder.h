#pragma once

#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "common/network/download.h"
#include "common/network/page_fetcher.h"
#include "messages/user_messages.h"
#include "refdb/table_rebuild.h"

namespace valmeric::window_model {

// A reference table refilled for a window, the same way in both windows: the
// rebuild runs on a thread of its own while the window goes on with its
// messages. The rebuild's thread tells its news through wake; the window then
// calls Poll on its own thread, which shows them through the view, as the run
// controller does for a run. Everything but wake is called on the window's
// thread.
class TableRebuilder final {
 public:
  // What the window shows. Every hook is optional; both are called from Poll.
  struct View {
    // The status line, once the city builder has read another prefecture:
    // "県コード：N 取得中" (UTF-8).
    std::function<void(const std::string& text)> show_status;
    // The box that tells that the rebuild has ended.
    std::function<void(const UserMessage& message)> show_message;
  };

  // database: the database the window uses; download: how the site is
  // reached. wake is called on the rebuild's thread when it has news; it must
  // not block.
  TableRebuilder(std::filesystem::path database, DownloadSettings download,
                 std::function<void()> wake, RetryPolicy retry = {});
  // Waits for a rebuild under way: a table is never left half refilled.
  ~TableRebuilder();
  TableRebuilder(const TableRebuilder&) = delete;
  TableRebuilder& operator=(const TableRebuilder&) = delete;

  void Bind(View view) { view_ = std::move(view); }

  // Takes the database and starts refilling table. Throws what TableRebuild
  // throws when the database cannot be taken (RunLockError, also while a
  // rebuild of this window holds it; DbError; ScratchFileError); nothing is
  // started then.
  void Start(RebuildTable table);
  // Shows the rebuild's news. Once its thread has ended, lets the database
  // go and shows the end box, or throws what stopped the rebuild (BuildError,
  // DbError) for the window's default error display; the table is then as it
  // was.
  void Poll();
  // From Start until Poll has seen the end. The window stays open meanwhile:
  // the rebuild holds the database.
  bool running() const { return thread_.joinable(); }

 private:
  // What the rebuild's thread has to tell; under mutex_.
  struct News {
    int prefecture = 0;  // read last and not yet shown; 0: none
    bool ended = false;
    std::exception_ptr failure;
  };

  const std::filesystem::path database_;
  const DownloadSettings download_;
  const RetryPolicy retry_;
  const std::function<void()> wake_;
  View view_;
  std::unique_ptr<TableRebuild> rebuild_;
  std::mutex mutex_;
  News news_;
  std::thread thread_;
};

}  // namespace valmeric::window_model
