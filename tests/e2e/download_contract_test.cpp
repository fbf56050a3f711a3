// What DownloadToFile promises, whichever HTTP client carries it. Built into
// the Linux tests with the routes served in-process, and into
// valmeric_download_tests.exe against valmeric_contract_server.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <future>
#include <set>
#include <thread>

#include "common/network/download.h"
#include "common/network/site_host.h"
#include "support/contract_pages.h"
#include "support/contract_site.h"
#include "support/temp_dir.h"

namespace valmeric {
namespace {

using test::ReadFile;
namespace contract = test::contract;

class DownloadContract : public ::testing::Test {
 protected:
  void SetUp() override {
    try {
      site_ = test::OpenContractSite();
    } catch (const std::exception& error) {
      FAIL() << error.what();
    }
    settings_.origin = SiteOrigin::Parse(site_->Origin());
  }

  std::string Url(const std::string& path) const { return site_->Origin() + path; }

  std::unique_ptr<test::ContractSite> site_;
  test::TempDir dir_;
  std::string file_ = dir_.File("tmp.dat");
  DownloadSettings settings_;
};

TEST_F(DownloadContract, StoresTheBodyAndSendsNoCacheRequests) {
  const DownloadOutcome outcome = DownloadToFile(Url("/page"), file_, settings_);
  EXPECT_TRUE(outcome.Fetched()) << outcome.error;
  EXPECT_EQ(outcome.http_status, 200);
  EXPECT_EQ(ReadFile(file_), "fresh");
  EXPECT_EQ(outcome.bytes_written, 5u);
}

TEST_F(DownloadContract, TheRequestAsksPastCachesAndOffersCompression) {
  struct Case {
    std::string header;
    std::vector<std::string> holds;
  } cases[] = {
      {"Cache-Control", {"no-cache"}},
      {"Pragma", {"no-cache"}},
      {"Accept-Encoding", {"gzip", "deflate"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    ASSERT_TRUE(DownloadToFile(Url("/echo/" + c.header), file_, settings_).Fetched());
    const std::string sent = ReadFile(file_);
    for (const std::string& part : c.holds) EXPECT_NE(sent.find(part), std::string::npos) << sent;
  }
}

TEST_F(DownloadContract, AnEmptyBodyLeavesAnEmptyFile) {
  test::WriteFile(file_, "older page");
  EXPECT_TRUE(DownloadToFile(Url("/empty"), file_, settings_).Fetched());
  EXPECT_TRUE(std::filesystem::exists(file_));
  EXPECT_EQ(ReadFile(file_), "");
}

TEST_F(DownloadContract, ZeroBytesAreDroppedAndEverythingAroundThemKept) {
  EXPECT_TRUE(DownloadToFile(Url("/zeros"), file_, settings_).Fetched());
  std::string expected = contract::kZerosBody;
  std::erase(expected, '\0');
  EXPECT_EQ(expected.size(), contract::kZerosBody.size() - 2);
  EXPECT_EQ(ReadFile(file_), expected);
}

// The stored page, the size limit and the zero-byte rule are those of the
// decoded body; a body that does not decode to its end is no page, and a
// redirect's body is held to the same limit.
TEST_F(DownloadContract, ACompressedBodyIsStoredDecoded) {
  settings_.max_body_bytes = 50000;
  struct Case {
    std::string path;
    DownloadFailure failure;
    std::string stored;
  } cases[] = {
      {"/gzip/page", DownloadFailure::kNone, contract::kCompressedBodies.at("page")},
      {"/gzip/zeros", DownloadFailure::kNone, "beforeafter"},
      {"/gzip/huge", DownloadFailure::kOversized, ""},
      {"/gzip-cut/page", DownloadFailure::kConnectionBroken, ""},
      {"/gzip-redirect/page", DownloadFailure::kNone, "fresh"},
      {"/gzip-redirect/huge", DownloadFailure::kOversized, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    test::WriteFile(file_, "older page");
    const DownloadOutcome outcome = DownloadToFile(Url(c.path), file_, settings_);
    const bool fetched = c.failure == DownloadFailure::kNone;
    EXPECT_EQ(outcome.Fetched(), fetched) << outcome.error;
    EXPECT_EQ(outcome.failure, c.failure) << outcome.error;
    EXPECT_EQ(outcome.oversized, c.failure == DownloadFailure::kOversized);
    if (fetched) {
      EXPECT_EQ(ReadFile(file_), c.stored);
    }
  }
}

// "deflate" as HTTP means zlib's format. On its own, as Wine's WinINet reads
// only raw deflate streams (scripts/windows-download-tests.sh leaves it out).
TEST_F(DownloadContract, ADeflateBodyIsStoredDecoded) {
  const DownloadOutcome outcome = DownloadToFile(Url("/deflate/page"), file_, settings_);
  EXPECT_TRUE(outcome.Fetched()) << outcome.error;
  EXPECT_EQ(ReadFile(file_), contract::kCompressedBodies.at("page"));
}

TEST_F(DownloadContract, ErrorStatusesAreStoredAndTold) {
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
    EXPECT_TRUE(outcome.transport_ok) << c.path << ": " << outcome.error;
    EXPECT_EQ(outcome.http_status, c.status) << c.path;
    EXPECT_EQ(outcome.Fetched(), c.fetched) << c.path;
    EXPECT_EQ(outcome.retry_after_s, c.retry_after) << c.path;
    EXPECT_EQ(ReadFile(file_), c.body) << c.path;
  }
}

TEST_F(DownloadContract, RedirectsAreFollowedAndSiteAddressesGoThroughTheOrigin) {
  for (const std::string& url : {Url("/hop"), Url("/a/b/up"), Url("/to-site"),
                                 std::string("https://") + kSiteHost + "/page"}) {
    SCOPED_TRACE(url);
    std::filesystem::remove(file_);
    const DownloadOutcome outcome = DownloadToFile(url, file_, settings_);
    EXPECT_TRUE(outcome.Fetched()) << outcome.error;
    EXPECT_EQ(outcome.http_status, 200);
    EXPECT_EQ(ReadFile(file_), "fresh");
  }
}

// Each target serves "elsewhere" pages of its own, so following one would
// show as a fetched page.
TEST_F(DownloadContract, ARedirectAwayFromTheSiteIsNotFollowed) {
  const std::string port = site_->Origin().substr(site_->Origin().rfind(':') + 1);
  struct Case {
    std::string name;
    std::string target;
  } cases[] = {
      {"another host name", "http://localhost:" + port + "/page"},
      {"another port", site_->OtherOrigin() + "/page"},
      {"a local file", "file:///etc/hostname"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(file_);
    const DownloadOutcome outcome =
        DownloadToFile(Url("/redirect?to=" + c.target), file_, settings_);
    EXPECT_FALSE(outcome.Fetched());
    EXPECT_EQ(outcome.failure, DownloadFailure::kRedirectAway) << outcome.error;
    EXPECT_EQ(outcome.error, DownloadFailureText(DownloadFailure::kRedirectAway, c.target));
    EXPECT_FALSE(std::filesystem::exists(file_));
  }
}

TEST_F(DownloadContract, ARedirectLoopFailsWithoutAFile) {
  const DownloadOutcome outcome = DownloadToFile(Url("/loop"), file_, settings_);
  EXPECT_FALSE(outcome.Fetched());
  EXPECT_FALSE(std::filesystem::exists(file_));
  EXPECT_EQ(outcome.failure, DownloadFailure::kTooManyRedirects) << outcome.error;
}

TEST_F(DownloadContract, AnOversizedBodyIsAbandoned) {
  settings_.max_body_bytes = 50000;
  const DownloadOutcome outcome = DownloadToFile(Url("/big"), file_, settings_);
  EXPECT_TRUE(outcome.oversized);
  EXPECT_FALSE(outcome.Fetched());
  EXPECT_EQ(outcome.failure, DownloadFailure::kOversized) << outcome.error;
  EXPECT_EQ(ReadFile(file_), "");  // no byte of it stays
}

TEST_F(DownloadContract, ADroppedOrStalledBodyIsAFailure) {
  EXPECT_FALSE(DownloadToFile(Url("/cut"), file_, settings_).Fetched());
  settings_.stall_timeout_s = 1;
  const auto start = std::chrono::steady_clock::now();
  const DownloadOutcome outcome = DownloadToFile(Url("/stall"), file_, settings_);
  EXPECT_FALSE(outcome.Fetched());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

// The limits are shortened here; by default the rate is checked over 30 s
// and an attempt ends after 120 s.
TEST_F(DownloadContract, ATrickleOrAnEndlessBodyIsCutOff) {
  struct Case {
    std::string name;
    std::string path;
    long rate_window_s;
    long transfer_timeout_ms;
    DownloadFailure failure;
  } cases[] = {
      {"a byte every 0.6 s fails the rate", "/trickle", 1, 120000, DownloadFailure::kStalled},
      {"20 KiB/s without end meets the overall limit", "/endless", 30, 1500,
       DownloadFailure::kTimedOut},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    settings_.stall_timeout_s = c.rate_window_s;
    settings_.transfer_timeout_ms = c.transfer_timeout_ms;
    const auto start = std::chrono::steady_clock::now();
    const DownloadOutcome outcome = DownloadToFile(Url(c.path), file_, settings_);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(outcome.Fetched());
    EXPECT_EQ(outcome.failure, c.failure) << outcome.error;
  }
}

// The request is under way (the server holds back its answer for 2 s, or
// trickles its body) when the cancel comes.
TEST_F(DownloadContract, ACancelStopsTheDownloadAtOnce) {
  for (const std::string path : {"/late", "/trickle"}) {
    SCOPED_TRACE(path);
    CancelToken cancel;
    auto download = std::async(std::launch::async, [&] {
      const DownloadOutcome outcome = DownloadToFile(Url(path), file_, settings_, &cancel);
      return std::pair{outcome, std::chrono::steady_clock::now()};
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const auto cancelled_at = std::chrono::steady_clock::now();
    cancel.Cancel();
    const auto [outcome, returned_at] = download.get();
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(returned_at - cancelled_at);
    std::printf("cancel of %s returned after %lld ms\n", path.c_str(),
                static_cast<long long>(took.count()));
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(outcome.Fetched());
    EXPECT_LT(took, std::chrono::milliseconds(200));
  }
}

TEST_F(DownloadContract, NoResponseLeavesAnOlderFileUntouched) {
  test::WriteFile(file_, "older page");
  const DownloadOutcome outcome = DownloadToFile(site_->ClosedOrigin() + "/page", file_, settings_);
  EXPECT_FALSE(outcome.transport_ok);
  EXPECT_EQ(outcome.failure, DownloadFailure::kConnectFailed) << outcome.error;
  EXPECT_EQ(outcome.error.rfind(DownloadFailureText(DownloadFailure::kConnectFailed) + "(", 0), 0u)
      << outcome.error;
  EXPECT_EQ(ReadFile(file_), "older page");
}

TEST_F(DownloadContract, ACertificateNobodyTrustsIsRefused) {
  const std::string origin = site_->UntrustedTlsOrigin();
  settings_.origin = SiteOrigin::Parse(origin);
  const DownloadOutcome outcome = DownloadToFile(origin + "/page", file_, settings_);
  EXPECT_FALSE(outcome.transport_ok);
  EXPECT_EQ(outcome.failure, DownloadFailure::kCertificateUntrusted) << outcome.error;
  EXPECT_FALSE(std::filesystem::exists(file_));
}

// A file the body cannot go into is told with the path and the system's
// words after it, as the CSV's write errors are.
TEST_F(DownloadContract, AFileThatCannotBeWrittenIsToldWithTheSystemsWords) {
  std::filesystem::create_directory(dir_.File("a-folder"));
  const struct {
    std::string path;
    std::string words;  // the system's words; empty: whatever the system says
  } cases[] = {
      {dir_.File("a-folder"), {}},           // cannot be created
      {"/dev/full", std::strerror(ENOSPC)},  // a full disk: every write fails
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    if (c.path == "/dev/full" && !std::filesystem::exists(c.path)) continue;
    const DownloadOutcome outcome = DownloadToFile(Url("/page"), c.path, settings_);
    EXPECT_TRUE(outcome.local_error);
    EXPECT_FALSE(outcome.Fetched());
    EXPECT_EQ(outcome.failure, DownloadFailure::kLocalFile) << outcome.error;
    const std::string told = DownloadFailureText(DownloadFailure::kLocalFile, c.path + ": ");
    ASSERT_EQ(outcome.error.rfind(told.substr(0, told.size() - 1), 0), 0u) << outcome.error;
    const std::string words = outcome.error.substr(told.size() - 1);
    EXPECT_GT(words.size(), 1u) << outcome.error;
    if (!c.words.empty()) {
      EXPECT_EQ(words, c.words + ")");
    }
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir_.File("a-folder")));
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

TEST_F(DownloadContract, EveryRequestCarriesOneOfTheAgents) {
  const std::set<std::string_view> known(UserAgents().begin(), UserAgents().end());
  std::set<std::string> used;
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(DownloadToFile(Url("/echo/User-Agent"), file_, settings_).Fetched());
    const std::string agent = ReadFile(file_);
    EXPECT_EQ(known.count(agent), 1u) << agent;
    used.insert(agent);
  }
  EXPECT_GE(used.size(), 3u);
}

}  // namespace
}  // namespace valmeric
