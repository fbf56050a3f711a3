#include "support/contract_routes.h"

#include <zlib.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include "common/network/site_host.h"
#include "support/contract_pages.h"

namespace valmeric::test {
namespace {

// text compressed as gzip (window_bits 31) or as zlib's deflate (15).
std::string Compress(const std::string& text, int window_bits) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&stream, text.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return out;
}

void AddAnswers(httplib::Server& s) {
  s.Get("/empty", [](const auto&, auto& res) { res.set_content("", "text/html"); });
  s.Get("/page", [](const auto& req, auto& res) {
    res.set_content(req.get_header_value("Cache-Control") == "no-cache" ? "fresh" : "cached?",
                    "text/html");
  });
  s.Get(R"(/echo/([\w-]+))", [](const auto& req, auto& res) {
    res.set_content(req.get_header_value(req.matches[1].str().c_str()), "text/plain");
  });
  s.Get("/zeros", [](const auto&, auto& res) {
    res.set_content(contract::kZerosBody, "application/octet-stream");
  });
  struct Status {
    const char* path;
    int status;
    const char* retry_after;
    const char* body;
  };
  for (const Status& answer :
       {Status{"/missing", 404, nullptr, "not here"}, Status{"/busy", 429, "7", "slow down"},
        Status{"/down", 503, nullptr, "maintenance"},
        Status{"/nowhere", 302, nullptr, "moved, but not said where"}}) {
    s.Get(answer.path, [answer](const auto&, auto& res) {
      res.status = answer.status;
      if (answer.retry_after) res.set_header("Retry-After", answer.retry_after);
      res.set_content(answer.body, "text/html");
    });
  }
  // Compressed whatever the request asked for, as a misconfigured server
  // would; application/octet-stream keeps the server from compressing again.
  for (const auto& [encoding, bits] : {std::pair{"gzip", 15 + 16}, std::pair{"deflate", 15}}) {
    s.Get(std::string("/") + encoding + R"(/(\w+))", [encoding, bits](const auto& req, auto& res) {
      res.set_header("Content-Encoding", encoding);
      res.set_content(Compress(contract::kCompressedBodies.at(req.matches[1].str()), bits),
                      "application/octet-stream");
    });
  }
  // A gzip body cut after two thirds, while the HTTP framing is whole: its
  // Content-Length is that of the bytes sent.
  s.Get(R"(/gzip-cut/(\w+))", [](const auto& req, auto& res) {
    const std::string whole = Compress(contract::kCompressedBodies.at(req.matches[1].str()), 31);
    res.set_header("Content-Encoding", "gzip");
    res.set_content(whole.substr(0, whole.size() * 2 / 3), "application/octet-stream");
  });
  // A redirect to /page with a gzip body of its own.
  s.Get(R"(/gzip-redirect/(\w+))", [](const auto& req, auto& res) {
    res.status = 302;
    res.set_header("Location", "/page");
    res.set_header("Content-Encoding", "gzip");
    res.set_content(Compress(contract::kCompressedBodies.at(req.matches[1].str()), 31),
                    "application/octet-stream");
  });
}

void AddRedirects(httplib::Server& s) {
  s.Get("/hop", [](const auto&, auto& res) { res.set_redirect("/page"); });
  s.Get("/a/b/up", [](const auto&, auto& res) { res.set_redirect("../../page"); });
  s.Get("/to-site", [](const auto&, auto& res) {
    res.set_redirect(std::string("http://") + kSiteHost + "/page");
  });
  s.Get("/redirect",
        [](const auto& req, auto& res) { res.set_redirect(req.get_param_value("to")); });
  s.Get("/loop", [](const auto&, auto& res) { res.set_redirect("/loop"); });
}

void AddBadBodies(httplib::Server& s) {
  s.Get("/big", [](const auto&, auto& res) {
    res.set_chunked_content_provider("text/html", [](size_t offset, httplib::DataSink& sink) {
      if (offset >= contract::kBigBodyBytes) {
        sink.done();
        return true;
      }
      const std::string block(10000, 'x');
      return sink.write(block.data(), block.size());
    });
  });
  s.Get("/cut", [](const auto&, auto& res) {
    res.set_content_provider(10000, "text/html", [](size_t, size_t, httplib::DataSink& sink) {
      sink.write("partial", 7);
      return false;  // the connection drops mid-body
    });
  });
  s.Get("/stall", [](const auto&, auto& res) {
    res.set_content_provider(100, "text/html", [](size_t offset, size_t, httplib::DataSink& sink) {
      if (offset == 0) return sink.write("12345", 5);
      std::this_thread::sleep_for(std::chrono::milliseconds(2500));
      return false;
    });
  });
  // No answer for 2 s: a server that takes the request and thinks.
  s.Get("/late", [](const auto&, auto& res) {
    std::this_thread::sleep_for(std::chrono::seconds(2));
    res.set_content("late", "text/html");
  });
  // Bodies that announce 50 MB and would take hours to send it: a trickle
  // and a steady but endless stream. Each stops by itself after 20 s.
  struct Stream {
    const char* path;
    size_t block;  // bytes sent at a time
    int every;     // milliseconds between blocks
  };
  for (const Stream& stream : {Stream{"/trickle", 1, 600}, Stream{"/endless", 4096, 200}}) {
    s.Get(stream.path, [block = stream.block, every = stream.every](const auto&, auto& res) {
      const auto start = std::chrono::steady_clock::now();
      res.set_content_provider(
          50'000'000, "text/html", [block, every, start](size_t, size_t, httplib::DataSink& sink) {
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(every));
            return sink.write(std::string(block, 'x').data(), block);
          });
    });
  }
}

}  // namespace

void AddContractRoutes(httplib::Server& server) {
  AddAnswers(server);
  AddRedirects(server);
  AddBadBodies(server);
}

}  // namespace valmeric::test
