#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "running_site.h"
#include "site_reader.h"
#include "support/named_case.h"

namespace valmeric::sitesim::testing {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

FaultOptions Faults(auto&& tweak) {
  FaultOptions o;
  tweak(o);
  return o;
}

struct StatusCase {
  const char* name;
  FaultOptions faults;
  std::vector<std::pair<std::string, int>> requests;  // in order, with the expected status
};
VALMERIC_PRINT_CASE_BY_NAME(StatusCase)

class FaultStatusTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(FaultStatusTest, AnswersWithTheInjectedStatus) {
  RunningSite site(GetParam().faults);
  for (const auto& [path, status] : GetParam().requests) {
    auto res = site.Get(path);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, status) << path;
    if (status >= 500 || status == 429) {
      EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=EUC-JP");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Switches, FaultStatusTest,
    ::testing::Values(StatusCase{"fail_all_503",
                                 Faults([](FaultOptions& o) { o.fail_rate = 1.0; }),
                                 {{"/doko/kekka.php/13101110/", 503},
                                  {"/doko/city.php?pref_no=1", 503},
                                  {"/doko/kamoku.php?pref_no=01&city_no=27", 503},
                                  {"/_sim/health", 200}}},
                      StatusCase{"fail_all_500",
                                 Faults([](FaultOptions& o) {
                                   o.fail_rate = 1.0;
                                   o.fail_codes = {500};
                                 }),
                                 {{"/doko/kekka.php/13101110/", 500}}},
                      StatusCase{"fail_pref",
                                 Faults([](FaultOptions& o) { o.fail_pref = 5; }),
                                 {{"/doko/city.php?pref_no=5", 500},
                                  {"/doko/city.php?pref_no=6", 200},
                                  {"/doko/kekka.php/05201110/", 200}}},
                      StatusCase{"fail_after",
                                 Faults([](FaultOptions& o) { o.fail_after = 2; }),
                                 {{"/doko/city.php?pref_no=1", 200},
                                  {"/doko/kekka.php/13101110/", 200},
                                  {"/doko/kekka.php/13102110/", 200},
                                  {"/doko/kekka.php/13103110/", 503},
                                  {"/doko/city.php?pref_no=1", 503},
                                  {"/_sim/listed?pref_no=31&ctgr=9", 200}}},
                      StatusCase{"fail_after_zero",
                                 Faults([](FaultOptions& o) { o.fail_after = 0; }),
                                 {{"/doko/kekka.php/13101110/", 503}}},
                      StatusCase{"redirect_loop",
                                 Faults([](FaultOptions& o) { o.redirect_loop_rate = 1.0; }),
                                 {{"/doko/kekka.php/13101110/", 302}, {"/_fault/loop?n=4", 302}}},
                      StatusCase{"no_faults",
                                 FaultOptions{},
                                 {{"/doko/kekka.php/13101110/", 200},
                                  {"/doko/city.php?pref_no=47", 200}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Faults, TooManyRequestsCarriesRetryAfter) {
  RunningSite site(Faults([](FaultOptions& o) {
    o.fail_rate = 1.0;
    o.fail_codes = {429};
    o.retry_after_s = 7;
  }));
  auto res = site.Get("/doko/kekka.php/13101110/");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 429);
  EXPECT_EQ(res->get_header_value("Retry-After"), "7");
}

TEST(Faults, RedirectLoopNeverEnds) {
  RunningSite site(Faults([](FaultOptions& o) { o.redirect_loop_rate = 1.0; }));
  auto first = site.Get("/doko/kekka.php/13101110/");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->get_header_value("Location"), "/_fault/loop?n=1");
  httplib::Client client("127.0.0.1", site.port());
  client.set_follow_location(true);
  auto res = client.Get("/doko/kekka.php/13101110/");
  EXPECT_FALSE(res);
  EXPECT_EQ(res.error(), httplib::Error::ExceedRedirectCount);
}

TEST(Faults, DroppedResponsesStopHalfWay) {
  RunningSite clean;
  RunningSite dropping(Faults([](FaultOptions& o) { o.drop_rate = 1.0; }));
  const std::string path = "/doko/kekka.php/13101110/";
  auto full = clean.Get(path);
  ASSERT_TRUE(full);
  auto res = dropping.Get(path);
  // Either the client notices the short body, or it hands back what came.
  if (res) {
    EXPECT_LT(res->body.size(), full->body.size());
  } else {
    EXPECT_EQ(res.error(), httplib::Error::Read);
  }
}

TEST(Faults, StalledResponsesPauseThenComplete) {
  RunningSite clean;
  RunningSite stalling(Faults([](FaultOptions& o) {
    o.stall_rate = 1.0;
    o.stall_ms = 300;
  }));
  const std::string path = "/doko/kekka.php/13101110/";
  auto start = Clock::now();
  auto res = stalling.Get(path);
  const double elapsed = SecondsSince(start);
  ASSERT_TRUE(res);
  EXPECT_GE(elapsed, 0.29);
  EXPECT_EQ(res->body, clean.Get(path)->body);
}

TEST(Faults, LatencyDelaysPages) {
  RunningSite site(Faults([](FaultOptions& o) { o.latency_ms = 150; }));
  auto start = Clock::now();
  auto res = site.Get("/doko/city.php?pref_no=2");
  ASSERT_TRUE(res);
  EXPECT_GE(SecondsSince(start), 0.14);
}

TEST(Faults, OversizedPagesKeepTheirContent) {
  RunningSite clean;
  RunningSite big(Faults([](FaultOptions& o) {
    o.oversize_mb = 1;
    o.oversize_results = true;
  }));
  const std::string path = "/doko/kekka.php/13101110/";
  auto normal = clean.Get(path);
  auto padded = big.Get(path);
  ASSERT_TRUE(normal && padded);
  EXPECT_EQ(padded->body.size(), normal->body.size() + (1u << 20));
  EXPECT_EQ(padded->body.compare(0, normal->body.size(), normal->body), 0);
  EXPECT_EQ(ReadResultPage(padded->body).entries, ReadResultPage(normal->body).entries);

  RunningSite huge(Faults([](FaultOptions& o) { o.oversize_mb = 2; }));
  auto blob = huge.Get("/_fault/big");
  ASSERT_TRUE(blob);
  EXPECT_EQ(blob->body.size(), 2u << 20);
}

std::vector<int> Statuses(std::uint64_t seed, int count) {
  RunningSite site(Faults([](FaultOptions& o) {
                     o.fail_rate = 0.5;
                     o.fail_codes = {500, 503, 429};
                   }),
                   seed);
  std::vector<int> statuses;
  for (int i = 0; i < count; ++i) {
    auto res = site.Get("/doko/kekka.php/13101" + std::to_string(110 + i % 10) + "/");
    statuses.push_back(res ? res->status : -1);
  }
  return statuses;
}

TEST(Faults, RandomFaultsFollowSeedAndRequestOrder) {
  const auto first = Statuses(11, 60);
  EXPECT_EQ(Statuses(11, 60), first);
  EXPECT_NE(Statuses(12, 60), first);
  int ok = 0;
  std::set<int> codes;
  for (int s : first) {
    if (s == 200) {
      ++ok;
    } else {
      codes.insert(s);
    }
  }
  EXPECT_GT(ok, 15);
  EXPECT_LT(ok, 45);
  EXPECT_EQ(codes, (std::set<int>{429, 500, 503}));
}

TEST(Faults, StatsCountRequestsPagesAndFaults) {
  RunningSite site(Faults([](FaultOptions& o) { o.fail_after = 1; }));
  site.Get("/doko/city.php?pref_no=3");
  site.Get("/doko/kekka.php/13101110/");
  site.Get("/doko/kekka.php/13101110/");
  SiteStats s = site.server().stats();
  EXPECT_EQ(s.requests, 3u);
  EXPECT_EQ(s.result_pages, 1u);
  EXPECT_EQ(s.faults, 1u);
}

}  // namespace
}  // namespace valmeric::sitesim::testing
