#include "support/local_server.h"

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace valmeric::test {

TestCertificate TestCertificate::Create(const std::string& folder) {
  TestCertificate cert{folder + "/cert.pem", folder + "/key.pem"};
  const std::string command =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
      "-addext subjectAltName=IP:127.0.0.1 -keyout '" +
      cert.key_file + "' -out '" + cert.cert_file + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0)
    throw std::runtime_error("openssl could not make a test certificate");
  return cert;
}

LocalServer::LocalServer() : server_(std::make_unique<httplib::Server>()) {}

LocalServer::LocalServer(const TestCertificate& tls)
    : server_(std::make_unique<httplib::SSLServer>(tls.cert_file.c_str(), tls.key_file.c_str())),
      tls_(true) {
  if (!server_->is_valid())
    throw std::runtime_error("the test HTTPS server could not load its certificate");
}

LocalServer::~LocalServer() {
  Stop();
}

void LocalServer::Start() {
  server_->set_logger([this](const httplib::Request& request, const httplib::Response&) {
    std::lock_guard lock(mutex_);
    hits_.push_back({request.path, request.get_header_value("User-Agent")});
  });
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("the test server could not bind a port");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  for (int i = 0; i < 500 && !server_->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void LocalServer::Stop() {
  if (!thread_.joinable()) return;
  server_->stop();
  thread_.join();
}

std::string LocalServer::Origin() const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

std::vector<LocalServer::Hit> LocalServer::Hits() const {
  std::lock_guard lock(mutex_);
  return hits_;
}

size_t LocalServer::HitCount() const {
  std::lock_guard lock(mutex_);
  return hits_.size();
}

}  // namespace valmeric::test
