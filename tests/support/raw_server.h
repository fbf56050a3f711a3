#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace valmeric::test {

// A TCP server on 127.0.0.1 and a free port that answers every connection
// with the same bytes, whatever they are, once the request's head has come,
// then closes it: for answers no HTTP server library would send.
class RawServer final {
 public:
  explicit RawServer(std::string answer);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  // "http://127.0.0.1:PORT"
  std::string Origin() const;
  // The heads of the requests answered so far (each is in before its answer
  // goes).
  std::vector<std::string> RequestHeads() const;

 private:
  void Serve();

  std::string answer_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> heads_;
  std::thread thread_;
};

}  // namespace valmeric::test
