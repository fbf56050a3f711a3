#include "app/scratch_name.h"

#include <algorithm>

namespace valmeric::app {

std::string FreeScratchName(const std::vector<std::string>& in_use) {
  auto taken = [&](const std::string& name) {
    return std::find(in_use.begin(), in_use.end(), name) != in_use.end();
  };
  if (!taken("tmp.dat")) return "tmp.dat";
  for (int n = 2;; ++n) {
    std::string name = "tmp-" + std::to_string(n) + ".dat";
    if (!taken(name)) return name;
  }
}

}  // namespace valmeric::app
