#pragma once

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace valmeric::sitesim {

// Rendered page bodies, kept while they fit a byte budget. Pages are cheap to
// rebuild, so an overfull shard is simply emptied.
class PageCache final {
 public:
  using Page = std::shared_ptr<const std::string>;

  explicit PageCache(std::size_t budget_bytes) : shard_budget_(budget_bytes / kShards) {}

  // Returns the cached page for `key`, building it with `make` when absent.
  // `make` runs without a lock held, so two threads may build the same page;
  // both results are identical.
  Page Get(const std::string& key, const std::function<std::string()>& make);

 private:
  static constexpr std::size_t kShards = 16;
  struct Shard {
    std::mutex mutex;
    std::unordered_map<std::string, Page> pages;
    std::size_t bytes = 0;
  };

  std::size_t shard_budget_;
  std::array<Shard, kShards> shards_;
};

}  // namespace valmeric::sitesim
