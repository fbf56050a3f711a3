#pragma once

#include <httplib.h>

namespace valmeric::test {

// The routes of the download contract: pages, error statuses, redirects on
// and off the site, compressed, endless, stalled and dropped bodies.
void AddContractRoutes(httplib::Server& server);

}  // namespace valmeric::test
