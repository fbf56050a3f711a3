#include "running_site.h"

namespace valmeric::sitesim::testing {

const SiteData& SharedData() {
  static const SiteData data = SiteData::Load(VALMERIC_TEST_DATA_DIR);
  return data;
}

RunningSite::RunningSite(FaultOptions faults, std::uint64_t seed, ListenOptions listen,
                         double change_share)
    : model_(SharedData(), seed, 1.0, change_share),
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
