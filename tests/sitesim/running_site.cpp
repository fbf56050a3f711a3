#include "running_site.h"

namespace valmeric::sitesim::testing {

const SiteData& SharedData() {
  static const SiteData data = SiteData::Load(VALMERIC_TEST_DATA_DIR);
  return data;
}

std::vector<std::vector<std::string>> TsvRows(const std::string& body) {
  std::vector<std::vector<std::string>> rows;
  for (std::size_t start = 0; start < body.size();) {
    std::size_t end = body.find('\n', start);
    if (end == std::string::npos) end = body.size();
    std::vector<std::string> cells;
    for (std::size_t cell = start;;) {
      const std::size_t tab = body.find('\t', cell);
      if (tab == std::string::npos || tab >= end) {
        cells.push_back(body.substr(cell, end - cell));
        break;
      }
      cells.push_back(body.substr(cell, tab - cell));
      cell = tab + 1;
    }
    rows.push_back(std::move(cells));
    start = end + 1;
  }
  return rows;
}

RunningSite::RunningSite(FaultOptions faults, std::uint64_t seed, ListenOptions listen,
                         double change_share, double density)
    : model_(SharedData(), seed, density, change_share),
      server_(model_,
              [&] {
                faults.seed = seed;
                return faults;
              }()),
      host_(server_, [&] {
        listen.threads = 4;
        return listen;
      }()) {
  host_.Start();
}

httplib::Result RunningSite::Get(const std::string& path) const {
  httplib::Client client("127.0.0.1", port());
  client.set_connection_timeout(5);
  client.set_read_timeout(10);
  return client.Get(path);
}

}  // namespace valmeric::sitesim::testing
