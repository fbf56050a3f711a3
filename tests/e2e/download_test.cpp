#include "common/download.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "common/page_fetcher.h"
#include "common/scratch_file.h"
#include "common/site_host.h"
#include "support/local_server.h"
#include "support/temp_dir.h"

namespace valmeric {
namespace {

using test::LocalServer;
using test::ReadFile;

// text compressed in the gzip format.
std::string Gzip(const std::string& text) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
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

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& s = server_.server();
    s.Get("/empty", [](const auto&, auto& res) { res.set_content("", "text/html"); });
    s.Get("/page", [](const auto& req, auto& res) {
      res.set_content(req.get_header_value("Cache-Control") == "no-cache" ? "fresh" : "cached?",
                      "text/html");
    });
    s.Get("/zeros", [](const auto&, auto& res) { res.set_content(zeros_body_, "application/octet-stream"); });
    s.Get("/missing", [](const auto&, auto& res) {
      res.status = 404;
      res.set_content("not here", "text/html");
    });
    s.Get("/busy", [](const auto&, auto& res) {
      res.status = 429;
      res.set_header("Retry-After", "7");
      res.set_content("slow down", "text/html");
    });
    s.Get("/down", [](const auto&, auto& res) {
      res.status = 503;
      res.set_content("maintenance", "text/html");
    });
    s.Get("/nowhere", [](const auto&, auto& res) {
      res.status = 302;  // a redirect that names no place to go
      res.set_content("moved, but not said where", "text/html");
    });
    s.Get("/hop", [](const auto&, auto& res) { res.set_redirect("/page"); });
    s.Get("/to-site", [](const auto&, auto& res) {
      res.set_redirect(std::string("http://") + kSiteHost + "/page");
    });
    s.Get("/redirect", [](const auto& req, auto& res) { res.set_redirect(req.get_param_value("to")); });
    s.Get("/loop", [](const auto&, auto& res) { res.set_redirect("/loop"); });
    s.Get("/big", [](const auto&, auto& res) {
      res.set_chunked_content_provider("text/html", [](size_t offset, httplib::DataSink& sink) {
        if (offset >= 200000) {
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
        res.set_content_provider(50'000'000, "text/html",
                                 [block, every, start](size_t, size_t, httplib::DataSink& sink) {
          if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) return false;
          std::this_thread::sleep_for(std::chrono::milliseconds(every));
          return sink.write(std::string(block, 'x').data(), block);
        });
      });
    }
    // Compressed whatever the request asked for, as a misconfigured server
    // would; application/octet-stream keeps the server from compressing again.
    s.Get(R"(/gzip/(\w+))", [](const auto& req, auto& res) {
      res.set_header("Content-Encoding", "gzip");
      res.set_content(Gzip(gzip_bodies_.at(req.matches[1].str())), "application/octet-stream");
    });
    server_.Start();
    settings_.origin = SiteOrigin::Parse(server_.Origin());
  }

  std::string Url(const std::string& path) const { return server_.Origin() + path; }

  static inline const std::string zeros_body_ = [] {
    std::string body(1500, 'a');
    body[10] = '\0';
    body[1200] = '\0';
    for (size_t i = 0; i < body.size(); ++i) {
      if (body[i] != '\0') body[i] = static_cast<char>('a' + i % 26);
    }
    return body;
  }();

  static inline const std::map<std::string, std::string> gzip_bodies_ = {
      {"page", "<html>\n<h1>\xA4\xA2</h1>\n</html>\n"},
      {"zeros", std::string("before\0after", 12)},
      {"huge", std::string(200000, 'x')},
  };

  LocalServer server_;
  test::TempDir dir_;
  std::string file_ = dir_.File("tmp.dat");
  DownloadSettings settings_;
};

TEST_F(DownloadTest, StoresTheBodyAndSendsNoCacheRequests) {
  const DownloadOutcome outcome = DownloadToFile(Url("/page"), file_, settings_);
  EXPECT_TRUE(outcome.Fetched());
  EXPECT_EQ(outcome.http_status, 200);
  EXPECT_EQ(ReadFile(file_), "fresh");
  EXPECT_EQ(outcome.bytes_written, 5u);
}

TEST_F(DownloadTest, AnEmptyBodyLeavesAnEmptyFile) {
  test::WriteFile(file_, "older page");
  EXPECT_TRUE(DownloadToFile(Url("/empty"), file_, settings_).Fetched());
  EXPECT_TRUE(std::filesystem::exists(file_));
  EXPECT_EQ(ReadFile(file_), "");
}

TEST_F(DownloadTest, ZeroBytesAreDroppedAndEverythingAroundThemKept) {
  EXPECT_TRUE(DownloadToFile(Url("/zeros"), file_, settings_).Fetched());
  std::string expected = zeros_body_;
  std::erase(expected, '\0');
  EXPECT_EQ(expected.size(), zeros_body_.size() - 2);
  EXPECT_EQ(ReadFile(file_), expected);
}

// The stored page, the size limit and the zero-byte rule are those of the
// decoded body.
TEST_F(DownloadTest, ACompressedBodyIsStoredDecoded) {
  settings_.max_body_bytes = 50000;
  struct Case {
    std::string name;
    bool fetched;
    std::string stored;
  } cases[] = {
      {"page", true, gzip_bodies_.at("page")},
      {"zeros", true, "beforeafter"},
      {"huge", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(file_);
    const DownloadOutcome outcome = DownloadToFile(Url("/gzip/" + c.name), file_, settings_);
    EXPECT_EQ(outcome.Fetched(), c.fetched) << outcome.error;
    EXPECT_EQ(outcome.oversized, !c.fetched);
    if (c.fetched) {
      EXPECT_EQ(ReadFile(file_), c.stored);
    }
  }
}

TEST_F(DownloadTest, ErrorStatusesAreStoredAndTold) {
  struct Case {
    std::string path;
    long status;
    bool fetched;
    long retry_after;
    std::string body;
  } cases[] = {
      {"/missing", 404, true, -1, "not here"},
      {"/busy", 429, false, 7, "slow down"},
      {"/down", 503, false, -1, "maintenance"},
      {"/nowhere", 302, true, -1, "moved, but not said where"},
  };
  for (const Case& c : cases) {
    const DownloadOutcome outcome = DownloadToFile(Url(c.path), file_, settings_);
    EXPECT_TRUE(outcome.transport_ok) << c.path;
    EXPECT_EQ(outcome.http_status, c.status) << c.path;
    EXPECT_EQ(outcome.Fetched(), c.fetched) << c.path;
    EXPECT_EQ(outcome.retry_after_s, c.retry_after) << c.path;
    EXPECT_EQ(ReadFile(file_), c.body) << c.path;
  }
}

TEST_F(DownloadTest, RedirectsAreFollowedAndSiteAddressesGoThroughTheOrigin) {
  EXPECT_TRUE(DownloadToFile(Url("/hop"), file_, settings_).Fetched());
  EXPECT_EQ(ReadFile(file_), "fresh");
  std::filesystem::remove(file_);
  EXPECT_TRUE(DownloadToFile(Url("/to-site"), file_, settings_).Fetched());
  EXPECT_EQ(ReadFile(file_), "fresh");
  std::filesystem::remove(file_);
  EXPECT_TRUE(DownloadToFile(std::string("https://") + kSiteHost + "/page", file_, settings_).Fetched());
  EXPECT_EQ(ReadFile(file_), "fresh");
}

TEST_F(DownloadTest, ARedirectAwayFromTheSiteIsNotFollowed) {
  LocalServer other;
  other.server().Get("/page", [](const auto&, auto& res) { res.set_content("elsewhere", "text/html"); });
  other.Start();
  test::WriteFile(dir_.File("local.txt"), "a local file");
  struct Case {
    std::string name;
    std::string target;
  } cases[] = {
      {"another host name", "http://localhost:" + std::to_string(server_.port()) + "/page"},
      {"another port", other.Origin() + "/page"},
      {"a local file", "file://" + dir_.File("local.txt")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(file_);
    const DownloadOutcome outcome = DownloadToFile(Url("/redirect?to=" + c.target), file_, settings_);
    EXPECT_FALSE(outcome.Fetched());
    EXPECT_NE(outcome.error.find("redirect"), std::string::npos) << outcome.error;
    EXPECT_FALSE(std::filesystem::exists(file_));
  }
  EXPECT_EQ(other.HitCount(), 0u);
}

TEST_F(DownloadTest, ARedirectLoopFailsWithoutAFile) {
  const DownloadOutcome outcome = DownloadToFile(Url("/loop"), file_, settings_);
  EXPECT_FALSE(outcome.Fetched());
  EXPECT_FALSE(std::filesystem::exists(file_));
  EXPECT_NE(outcome.error.find("redirect"), std::string::npos) << outcome.error;
}

TEST_F(DownloadTest, AnOversizedBodyIsAbandoned) {
  settings_.max_body_bytes = 50000;
  const DownloadOutcome outcome = DownloadToFile(Url("/big"), file_, settings_);
  EXPECT_TRUE(outcome.oversized);
  EXPECT_FALSE(outcome.Fetched());
  EXPECT_EQ(ReadFile(file_), "");  // no byte of it stays
}

TEST_F(DownloadTest, ADroppedOrStalledBodyIsAFailure) {
  EXPECT_FALSE(DownloadToFile(Url("/cut"), file_, settings_).Fetched());
  settings_.stall_timeout_s = 1;
  const auto start = std::chrono::steady_clock::now();
  const DownloadOutcome outcome = DownloadToFile(Url("/stall"), file_, settings_);
  EXPECT_FALSE(outcome.Fetched());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

// The limits are shortened here; by default the rate is checked over 30 s
// and an attempt ends after 120 s.
TEST_F(DownloadTest, ATrickleOrAnEndlessBodyIsCutOff) {
  struct Case {
    std::string name;
    std::string path;
    long rate_window_s;
    long transfer_timeout_ms;
  } cases[] = {
      {"a byte every 0.6 s fails the rate", "/trickle", 1, 120000},
      {"20 KiB/s without end meets the overall limit", "/endless", 30, 1500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    settings_.stall_timeout_s = c.rate_window_s;
    settings_.transfer_timeout_ms = c.transfer_timeout_ms;
    const auto start = std::chrono::steady_clock::now();
    const DownloadOutcome outcome = DownloadToFile(Url(c.path), file_, settings_);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(outcome.Fetched());
    EXPECT_NE(outcome.error.find("imeout"), std::string::npos) << outcome.error;
  }
}

TEST_F(DownloadTest, NoResponseLeavesAnOlderFileUntouched) {
  LocalServer closed;
  closed.Start();
  const std::string origin = closed.Origin();
  closed.Stop();
  test::WriteFile(file_, "older page");
  const DownloadOutcome outcome = DownloadToFile(origin + "/page", file_, settings_);
  EXPECT_FALSE(outcome.transport_ok);
  EXPECT_FALSE(outcome.error.empty());
  EXPECT_EQ(ReadFile(file_), "older page");
}

TEST_F(DownloadTest, AFileThatCannotBeCreatedIsReportedAndLeftAlone) {
  std::filesystem::create_directory(dir_.File("a-folder"));
  const DownloadOutcome outcome = DownloadToFile(Url("/page"), dir_.File("a-folder"), settings_);
  EXPECT_TRUE(outcome.local_error);
  EXPECT_FALSE(outcome.Fetched());
  EXPECT_TRUE(std::filesystem::is_directory(dir_.File("a-folder")));
}

// A run's scratch file is created once under a name no other run can take;
// fetching into it, whatever the outcome, must keep that very file.
TEST_F(DownloadTest, FetchesKeepTheScratchFileItself) {
  ScratchFile scratch(dir_.path().string());
  struct stat created {};
  ASSERT_EQ(stat(scratch.path().c_str(), &created), 0);
  settings_.max_body_bytes = 50000;
  struct Case {
    std::string path;
    bool fetched;
    std::string stored;
  } cases[] = {
      {"/page", true, "fresh"},
      {"/down", false, ""},
      {"/big", false, ""},
      {"/page", true, "fresh"},
      {"/cut", false, ""},
  };
  CancelToken cancel;
  PageFetcher fetcher(settings_, RetryPolicy{{std::chrono::milliseconds(1)}}, cancel);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(fetcher.Fetch(Url(c.path), scratch.path()), c.fetched);
    struct stat now {};
    ASSERT_EQ(stat(scratch.path().c_str(), &now), 0) << "the scratch file is gone";
    EXPECT_EQ(now.st_ino, created.st_ino) << "another file stands under the name";
    EXPECT_EQ(ReadFile(scratch.path()), c.stored);
  }
}

TEST(UserAgents, TheFirstTenDrawsOfAProcess) {
  std::uint32_t seed = 0;
  std::vector<int> indexes;
  for (int i = 0; i < 10; ++i) {
    seed = NextAgentSeed(seed);
    indexes.push_back(AgentIndexForSeed(seed));
  }
  EXPECT_EQ(indexes, (std::vector<int>{0, 0, 4, 1, 1, 3, 1, 0, 1, 2}));
}

TEST_F(DownloadTest, EveryRequestCarriesOneOfTheAgents) {
  for (int i = 0; i < 10; ++i) DownloadToFile(Url("/page"), file_, settings_);
  std::set<std::string_view> known(UserAgents().begin(), UserAgents().end());
  std::set<std::string> used;
  for (const auto& hit : server_.Hits()) {
    EXPECT_EQ(known.count(hit.user_agent), 1u) << hit.user_agent;
    used.insert(hit.user_agent);
  }
  EXPECT_GE(used.size(), 3u);
}

TEST(DownloadTls, AcceptsOnlyACertificateItTrusts) {
  test::TempDir dir;
  const auto cert = test::TestCertificate::Create(dir.path().string());
  LocalServer server(cert);
  server.server().Get("/page", [](const auto&, auto& res) { res.set_content("secret", "text/html"); });
  server.Start();
  DownloadSettings settings;
  settings.origin = SiteOrigin::Parse(server.Origin());
  const std::string file = dir.File("tmp.dat");

  const DownloadOutcome untrusted = DownloadToFile(server.Origin() + "/page", file, settings);
  EXPECT_FALSE(untrusted.transport_ok);
  EXPECT_FALSE(std::filesystem::exists(file));

  settings.ca_file = cert.cert_file;
  const DownloadOutcome trusted = DownloadToFile(std::string("https://") + kSiteHost + "/page", file, settings);
  EXPECT_TRUE(trusted.Fetched()) << trusted.error;
  EXPECT_EQ(ReadFile(file), "secret");
}

}  // namespace
}  // namespace valmeric
