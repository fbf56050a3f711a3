#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "facility_model.h"
#include "faults.h"
#include "page_cache.h"
#include "page_renderer.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace valmeric::sitesim {

struct SiteStats {
  std::uint64_t requests = 0;      // site pages asked for (not /_sim/ or /_fault/)
  std::uint64_t result_pages = 0;  // result pages whose body was sent
  std::uint64_t faults = 0;        // requests answered with an injected fault
};

// The directory site's request handling: routing, page bodies in EUC-JP,
// injected faults and the /_sim/ endpoints tests use to learn the truth.
// One instance may serve several listeners (HTTP and HTTPS) at once.
class SiteServer final {
 public:
  SiteServer(const FacilityModel& model, FaultOptions faults);

  // Installs the handlers on `server`.
  void Mount(httplib::Server& server);
  // Wakes responses that are stalling on purpose, so a server can stop.
  void Shutdown() { stopping_ = true; }

  SiteStats stats() const;

 private:
  void Handle(const httplib::Request& req, httplib::Response& res);
  bool HandleControl(const httplib::Request& req, httplib::Response& res);
  void HandleSite(const httplib::Request& req, httplib::Response& res);
  void SendPage(httplib::Response& res, int status, PageCache::Page page, FaultKind fault,
                bool pad);
  void SendHtml(httplib::Response& res, int status, const std::string& utf8);
  void SleepMs(int ms) const;

  const FacilityModel& model_;
  PageRenderer renderer_;
  FaultInjector faults_;
  PageCache cache_;
  std::atomic<bool> stopping_{false};
  std::atomic<std::uint64_t> requests_{0};
  std::atomic<std::uint64_t> result_pages_{0};
  std::atomic<std::uint64_t> fault_count_{0};
};

}  // namespace valmeric::sitesim
