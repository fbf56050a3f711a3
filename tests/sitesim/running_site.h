#pragma once

#include <httplib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "facility_model.h"
#include "faults.h"
#include "options.h"
#include "site_data.h"
#include "site_host.h"
#include "site_server.h"

namespace valmeric::sitesim::testing {

// The committed reference data, loaded once per test program.
const SiteData& SharedData();

// The lines of a /_sim/ TSV answer, each split at its tabs, empty cells kept.
std::vector<std::vector<std::string>> TsvRows(const std::string& body);

// A simulator serving on a free loopback port for the lifetime of the object.
class RunningSite final {
 public:
  // change_share: see FacilityModel; above 0 the site shows its data as
  // changed later. density: facilities per city, relative to the usual.
  explicit RunningSite(FaultOptions faults = {}, std::uint64_t seed = kDefaultSeed,
                       ListenOptions listen = {}, double change_share = 0.0, double density = 1.0);

  int port() const { return host_.http_port(); }
  int https_port() const { return host_.https_port(); }
  const FacilityModel& model() const { return model_; }
  SiteServer& server() { return server_; }

  // A GET on a fresh connection; the result may hold an error instead of a
  // response.
  httplib::Result Get(const std::string& path) const;

 private:
  FacilityModel model_;
  SiteServer server_;
  SiteHost host_;
};

}  // namespace valmeric::sitesim::testing
