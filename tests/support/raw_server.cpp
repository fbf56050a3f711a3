#include "support/raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace valmeric::test {
namespace {

// Reads until the end of the request's head, or until the client stops.
std::string ReadRequestHead(int client) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    pollfd wait{client, POLLIN, 0};
    if (poll(&wait, 1, 5000) <= 0) break;
    const ssize_t n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    head.append(buffer, static_cast<size_t>(n));
  }
  return head;
}

void SendAll(int client, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

}  // namespace

RawServer::RawServer(std::string answer) : answer_(std::move(answer)) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      listen(listener_, 16) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (listener_ >= 0) close(listener_);
    throw std::runtime_error("the raw test server could not listen");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

RawServer::~RawServer() {
  stopping_ = true;
  thread_.join();
  close(listener_);
}

std::string RawServer::Origin() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> RawServer::RequestHeads() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return heads_;
}

// Looks at the stop request every 50 ms while it waits for a connection.
void RawServer::Serve() {
  while (!stopping_) {
    pollfd wait{listener_, POLLIN, 0};
    if (poll(&wait, 1, 50) <= 0) continue;
    const int client = accept(listener_, nullptr, nullptr);
    if (client < 0) continue;
    const std::string head = ReadRequestHead(client);
    {
      const std::lock_guard<std::mutex> hold(mutex_);
      heads_.push_back(head);
    }
    SendAll(client, answer_);
    shutdown(client, SHUT_WR);
    close(client);
  }
}

}  // namespace valmeric::test
