#pragma once

#include <httplib.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace valmeric::test {

// A throw-away certificate for 127.0.0.1, made with the openssl command.
struct TestCertificate {
  std::string cert_file;
  std::string key_file;
  // Writes cert.pem and key.pem into folder.
  static TestCertificate Create(const std::string& folder);
};

// An HTTP or HTTPS server on 127.0.0.1 and a free port, serving what the test
// routes to it, and remembering each request's path and user agent.
class LocalServer final {
 public:
  LocalServer();                                     // plain HTTP
  explicit LocalServer(const TestCertificate& tls);  // HTTPS
  ~LocalServer();
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  httplib::Server& server() { return *server_; }
  // Starts listening; call after the routes are set.
  void Start();
  void Stop();
  // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT".
  std::string Origin() const;
  int port() const { return port_; }

  struct Hit {
    std::string path;
    std::string user_agent;
  };
  std::vector<Hit> Hits() const;
  size_t HitCount() const;

 private:
  std::unique_ptr<httplib::Server> server_;
  bool tls_ = false;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<Hit> hits_;
};

}  // namespace valmeric::test
