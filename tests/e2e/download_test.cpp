// Download tests that need more of the server than its routes, or POSIX file
// identities; the contract itself is in download_contract_test.cpp.

#include "common/network/download.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "common/network/page_fetcher.h"
#include "common/network/site_address.h"
#include "common/network/site_host.h"
#include "common/platform/scratch_file.h"
#include "messages/download_text.h"
#include "support/contract_site.h"
#include "support/local_server.h"
#include "support/raw_server.h"
#include "support/temp_dir.h"
#include "support/test_certificates.h"

namespace valmeric {
namespace {

using test::ReadFile;

// A run's scratch file is created once under a name no other run can take;
// fetching into it, whatever the outcome, must keep that very file.
TEST(DownloadScratchFile, FetchesKeepTheScratchFileItself) {
  const auto site = test::OpenContractSite();
  test::TempDir dir;
  DownloadSettings settings;
  settings.origin = SiteOrigin::Parse(site->Origin());
  settings.max_body_bytes = 50000;
  ScratchFile scratch(dir.path().string());
  struct stat created {};
  ASSERT_EQ(stat(scratch.path().c_str(), &created), 0);
  struct Case {
    std::string path;
    bool fetched;
    std::string stored;
  } cases[] = {
      {"/page", true, "fresh"}, {"/down", false, ""}, {"/big", false, ""},
      {"/page", true, "fresh"}, {"/cut", false, ""},
  };
  CancelToken cancel;
  PageFetcher fetcher(settings, RetryPolicy{{std::chrono::milliseconds(1)}}, cancel);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(fetcher.Fetch(site->Origin() + c.path, scratch.path()), c.fetched);
    struct stat now {};
    ASSERT_EQ(stat(scratch.path().c_str(), &now), 0) << "the scratch file is gone";
    EXPECT_EQ(now.st_ino, created.st_ino) << "another file stands under the name";
    EXPECT_EQ(ReadFile(scratch.path()), c.stored);
  }
}

// Sets an environment variable for one scope, then puts back what was there.
class ScopedEnv final {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The proxy variables as curl reads them (WinINet keeps the system's
// settings instead): the proxy gets the request with the whole address, and
// a host no_proxy names is reached directly.
TEST(DownloadProxy, GoesThroughTheEnvironmentsProxyUnlessNoProxyNamesTheHost) {
  test::LocalServer site;
  site.server().Get("/page", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("direct", "text/html");
  });
  site.Start();
  struct Row {
    const char* name;
    std::string url;
    std::string no_proxy;
    bool proxied;
  } rows[] = {
      {"TheSiteHost", CityListUrl(1), "", true},
      {"ALocalServer", site.Origin() + "/page", "", true},
      {"NamedInNoProxy", site.Origin() + "/page", "localhost,127.0.0.1", false},
  };
  test::TempDir dir;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::RawServer proxy(
        "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\nproxied");
    const ScopedEnv http_proxy("http_proxy", proxy.Origin());
    const ScopedEnv no_proxy("no_proxy", row.no_proxy);
    const DownloadOutcome outcome = DownloadToFile(row.url, dir.File("page"));
    EXPECT_TRUE(outcome.transport_ok);
    EXPECT_EQ(outcome.http_status, 200);
    EXPECT_EQ(ReadFile(dir.File("page")), row.proxied ? "proxied" : "direct");
    const std::vector<std::string> heads = proxy.RequestHeads();
    ASSERT_EQ(heads.size(), row.proxied ? 1u : 0u);
    if (row.proxied) {
      EXPECT_TRUE(heads[0].starts_with("GET " + row.url + " HTTP/1.1\r\n")) << heads[0];
    }
  }
}

// An extra trusted certificate is a libcurl setting; WinINet trusts the
// system's store only.
TEST(DownloadTls, TrustsTheCertificateOfItsCaFile) {
  test::TempDir dir;
  const auto cert = test::TestCertificate::Create(dir.path().string());
  test::LocalServer server(cert);
  server.server().Get("/page",
                      [](const auto&, auto& res) { res.set_content("secret", "text/html"); });
  server.Start();
  DownloadSettings settings;
  settings.origin = SiteOrigin::Parse(server.Origin());
  settings.ca_file = cert.cert_file;
  const std::string file = dir.File("tmp.dat");
  const DownloadOutcome trusted =
      DownloadToFile(std::string("https://") + kSiteHost + "/page", file, settings);
  EXPECT_TRUE(trusted.Fetched()) << trusted.error;
  EXPECT_EQ(ReadFile(file), "secret");
}

// A download on https is never led to plain http, not even on the same host
// and port; a site address still goes through the origin, and so stays on https.
TEST(DownloadTls, ARedirectToPlainHttpIsRefused) {
  test::TempDir dir;
  const auto cert = test::TestCertificate::Create(dir.path().string());
  test::LocalServer server(cert);
  server.server().Get("/page",
                      [](const auto&, auto& res) { res.set_content("secret", "text/html"); });
  server.server().Get(
      "/redirect", [](const auto& req, auto& res) { res.set_redirect(req.get_param_value("to")); });
  server.Start();
  const std::string plain = "http://127.0.0.1:" + std::to_string(server.port()) + "/page";
  struct Case {
    std::string target;
    bool fetched;
  } cases[] = {
      {plain, false},
      {std::string("http://") + kSiteHost + "/page", true},
      {server.Origin() + "/page", true},
  };
  DownloadSettings settings;
  settings.origin = SiteOrigin::Parse(server.Origin());
  settings.ca_file = cert.cert_file;
  const std::string file = dir.File("tmp.dat");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    std::filesystem::remove(file);
    const DownloadOutcome outcome = DownloadToFile(
        std::string("https://") + kSiteHost + "/redirect?to=" + c.target, file, settings);
    EXPECT_EQ(outcome.Fetched(), c.fetched) << outcome.error;
    if (c.fetched) {
      EXPECT_EQ(ReadFile(file), "secret");
    } else {
      EXPECT_EQ(outcome.failure, DownloadFailure::kRedirectAway) << outcome.error;
      EXPECT_EQ(outcome.error, DownloadFailureText(DownloadFailure::kRedirectAway, c.target));
      EXPECT_FALSE(std::filesystem::exists(file));
    }
  }
}

// An answer that is not HTTP, and each certificate fault, gets its own
// sentence, and the words in parentheses name the reason, not libcurl's
// name of the error code ("Unsupported protocol", "Out of memory").
TEST(DownloadDetails, EachFaultIsToldWithItsReason) {
  std::string cookies;
  for (int i = 0; i < 10000; ++i) {
    cookies += "Set-Cookie: session" + std::to_string(i) +
               "=0123456789abcdef0123456789abcdef; Path=/; HttpOnly\r\n";
  }
  using Fault = test::TestAuthority::Fault;
  struct Case {
    std::string name;
    std::string answer;  // raw bytes; empty: HTTPS with the certificate fault below
    Fault certificate;
    DownloadFailure failure;
    std::string reason;  // a part of the words in parentheses
  } cases[] = {
      {"a status of four digits", "HTTP/1.1 2000 OK\r\nContent-Length: 2\r\n\r\nhi", Fault::kNone,
       DownloadFailure::kBadAnswer, "response code"},
      {"a status line that is not HTTP", "ICY 200 OK\r\nContent-Length: 2\r\n\r\nhi", Fault::kNone,
       DownloadFailure::kBadAnswer, "HTTP/0.9"},
      {"a final 199", "HTTP/1.1 199 Odd\r\nContent-Length: 2\r\n\r\nhi", Fault::kNone,
       DownloadFailure::kBadAnswer, "HTTP/0.9"},
      {"a header of 1 MB",
       "HTTP/1.1 200 OK\r\nX-Big: " + std::string(1 << 20, 'a') + "\r\nContent-Length: 2\r\n\r\nhi",
       Fault::kNone, DownloadFailure::kBadAnswer, download_text::kHeaderTooLarge},
      {"10,000 Set-Cookie headers", "HTTP/1.1 200 OK\r\n" + cookies + "Content-Length: 2\r\n\r\nhi",
       Fault::kNone, DownloadFailure::kBadAnswer, "response headers"},
      {"a chunk size that is no number",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nhi\r\n0\r\n\r\n", Fault::kNone,
       DownloadFailure::kBadAnswer, "chunked"},
      {"an expired certificate", "", Fault::kExpired, DownloadFailure::kCertificateExpired,
       "expired"},
      {"a certificate for another name", "", Fault::kWrongName,
       DownloadFailure::kCertificateWrongName, "127.0.0.1"},
      {"a certificate of an unknown issuer", "", Fault::kUnknownIssuer,
       DownloadFailure::kCertificateUntrusted, "issuer"},
      {"a certificate without a fault", "", Fault::kNone, DownloadFailure::kNone, ""},
  };
  test::TempDir dir;
  const test::TestAuthority authority(dir.path().string());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<test::RawServer> raw;
    std::unique_ptr<test::LocalServer> tls;
    std::string origin;
    if (c.answer.empty()) {
      tls = std::make_unique<test::LocalServer>(authority.Issue(c.certificate));
      tls->server().Get("/page", [](const auto&, auto& res) { res.set_content("x", "text/html"); });
      tls->Start();
      origin = tls->Origin();
    } else {
      raw = std::make_unique<test::RawServer>(c.answer);
      origin = raw->Origin();
    }
    DownloadSettings settings;
    settings.origin = SiteOrigin::Parse(origin);
    settings.ca_file = authority.ca_file();
    const std::string file = dir.File("tmp.dat");
    const DownloadOutcome outcome = DownloadToFile(origin + "/page", file, settings);
    EXPECT_EQ(outcome.Fetched(), c.failure == DownloadFailure::kNone);
    EXPECT_EQ(outcome.failure, c.failure) << outcome.error;
    if (c.failure == DownloadFailure::kNone) continue;
    const std::string sentence = DownloadFailureText(c.failure);
    EXPECT_EQ(outcome.error.rfind(sentence + "(", 0), 0u) << outcome.error;
    EXPECT_NE(outcome.error.find(c.reason, sentence.size()), std::string::npos) << outcome.error;
  }
}

}  // namespace
}  // namespace valmeric
