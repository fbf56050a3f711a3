#include "page_cache.h"

namespace valmeric::sitesim {

PageCache::Page PageCache::Get(const std::string& key, const std::function<std::string()>& make) {
  Shard& shard = shards_[std::hash<std::string>{}(key) % kShards];
  {
    std::lock_guard lock(shard.mutex);
    auto it = shard.pages.find(key);
    if (it != shard.pages.end()) return it->second;
  }
  auto page = std::make_shared<const std::string>(make());
  std::lock_guard lock(shard.mutex);
  if (shard.bytes + page->size() > shard_budget_) {
    shard.pages.clear();
    shard.bytes = 0;
  }
  if (shard.pages.emplace(key, page).second) shard.bytes += page->size();
  return page;
}

}  // namespace valmeric::sitesim
