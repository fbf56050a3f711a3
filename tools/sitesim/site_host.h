#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "site_server.h"

namespace httplib {
class Server;
}

namespace valmeric::sitesim {

struct ListenOptions {
  std::string host = "127.0.0.1";
  int port = 0;       // HTTP; 0 picks a free port
  int tls_port = -1;  // HTTPS when >= 0 (0 picks a free port); needs cert and key
  std::string cert_file;
  std::string key_file;
  int threads = 8;
};

// Runs a SiteServer on its listeners, each on a thread of its own, until
// Stop() or destruction.
class SiteHost final {
 public:
  SiteHost(SiteServer& site, ListenOptions options);
  ~SiteHost();
  SiteHost(const SiteHost&) = delete;
  SiteHost& operator=(const SiteHost&) = delete;

  // Binds every listener and starts serving; throws std::runtime_error when
  // a port cannot be bound or the certificate cannot be loaded.
  void Start();
  void Stop();

  int http_port() const { return http_port_; }
  int https_port() const { return https_port_; }  // -1 without HTTPS

 private:
  SiteServer& site_;
  ListenOptions options_;
  std::unique_ptr<httplib::Server> http_;
  std::unique_ptr<httplib::Server> https_;
  std::vector<std::thread> threads_;
  int http_port_ = -1;
  int https_port_ = -1;
};

}  // namespace valmeric::sitesim
