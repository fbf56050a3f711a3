#include "site_host.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>

namespace valmeric::sitesim {
namespace {

int Bind(httplib::Server& server, const std::string& host, int port) {
  if (port == 0) return server.bind_to_any_port(host);
  return server.bind_to_port(host, port) ? port : -1;
}

void Configure(httplib::Server& server, SiteServer& site, int threads) {
  server.new_task_queue = [threads] {
    return new httplib::ThreadPool(static_cast<std::size_t>(threads));
  };
  // Small responses on kept-alive connections otherwise wait on delayed ACKs.
  server.set_tcp_nodelay(true);
  server.set_keep_alive_max_count(1000);
  server.set_keep_alive_timeout(5);
  site.Mount(server);
}

}  // namespace

SiteHost::SiteHost(SiteServer& site, ListenOptions options)
    : site_(site), options_(std::move(options)) {}

SiteHost::~SiteHost() {
  Stop();
}

void SiteHost::Start() {
  http_ = std::make_unique<httplib::Server>();
  Configure(*http_, site_, options_.threads);
  http_port_ = Bind(*http_, options_.host, options_.port);
  if (http_port_ < 0) {
    throw std::runtime_error("cannot listen on " + options_.host + ":" +
                             std::to_string(options_.port));
  }
  if (options_.tls_port >= 0) {
    auto tls =
        std::make_unique<httplib::SSLServer>(options_.cert_file.c_str(), options_.key_file.c_str());
    if (!tls->is_valid()) {
      throw std::runtime_error("cannot load certificate " + options_.cert_file + " and key " +
                               options_.key_file);
    }
    https_ = std::move(tls);
    Configure(*https_, site_, options_.threads);
    https_port_ = Bind(*https_, options_.host, options_.tls_port);
    if (https_port_ < 0) {
      throw std::runtime_error("cannot listen on " + options_.host + ":" +
                               std::to_string(options_.tls_port));
    }
  }
  for (httplib::Server* server : {http_.get(), https_.get()}) {
    if (server) threads_.emplace_back([server] { server->listen_after_bind(); });
  }
  // stop() only reaches a server that is already in its accept loop.
  for (httplib::Server* server : {http_.get(), https_.get()}) {
    while (server && !server->is_running())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void SiteHost::Stop() {
  site_.Shutdown();
  for (httplib::Server* server : {http_.get(), https_.get()}) {
    if (server) server->stop();
  }
  for (auto& t : threads_) t.join();
  threads_.clear();
}

}  // namespace valmeric::sitesim
