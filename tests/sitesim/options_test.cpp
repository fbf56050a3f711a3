#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options.h"

namespace valmeric::sitesim {
namespace {

std::optional<SimOptions> Parse(std::vector<std::string> args, std::string* error = nullptr) {
  std::string e;
  auto o = ParseOptions(args, "/default/data", e);
  if (error) *error = e;
  return o;
}

TEST(Options, DefaultsServeHttpOnAFreeLoopbackPort) {
  auto o = Parse({});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->data_dir, "/default/data");
  EXPECT_EQ(o->listen.host, "127.0.0.1");
  EXPECT_EQ(o->listen.port, 0);
  EXPECT_EQ(o->listen.tls_port, -1);
  EXPECT_EQ(o->seed, kDefaultSeed);
  EXPECT_EQ(o->faults.fail_rate, 0.0);
  EXPECT_EQ(o->faults.fail_after, -1);
  EXPECT_EQ(o->faults.next_link, NextLinkForm::kQuery);
}

TEST(Options, EveryOptionLandsInItsField) {
  auto o = Parse({"--data",
                  "/d",
                  "--host",
                  "0.0.0.0",
                  "--port",
                  "8080",
                  "--tls-port",
                  "0",
                  "--cert",
                  "c.pem",
                  "--key",
                  "k.pem",
                  "--port-file",
                  "p.txt",
                  "--seed",
                  "99",
                  "--threads",
                  "3",
                  "--latency-ms",
                  "20",
                  "--fail-rate",
                  "0.25",
                  "--fail-codes",
                  "500,429",
                  "--retry-after",
                  "4",
                  "--drop-rate",
                  "0.1",
                  "--stall-rate",
                  "0.2",
                  "--stall-ms",
                  "700",
                  "--redirect-loop-rate",
                  "0.3",
                  "--gzip-cut-rate",
                  "0.4",
                  "--oversize-mb",
                  "9",
                  "--oversize-results",
                  "--fail-after",
                  "12",
                  "--fail-pref",
                  "47",
                  "--change-share",
                  "0.25",
                  "--next-link",
                  "other-host"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->data_dir, "/d");
  EXPECT_EQ(o->listen.host, "0.0.0.0");
  EXPECT_EQ(o->listen.port, 8080);
  EXPECT_EQ(o->listen.tls_port, 0);
  EXPECT_EQ(o->listen.cert_file, "c.pem");
  EXPECT_EQ(o->listen.key_file, "k.pem");
  EXPECT_EQ(o->listen.threads, 3);
  EXPECT_EQ(o->port_file, "p.txt");
  EXPECT_EQ(o->seed, 99u);
  EXPECT_EQ(o->faults.seed, 99u);
  EXPECT_EQ(o->faults.latency_ms, 20);
  EXPECT_DOUBLE_EQ(o->faults.fail_rate, 0.25);
  EXPECT_EQ(o->faults.fail_codes, (std::vector<int>{500, 429}));
  EXPECT_EQ(o->faults.retry_after_s, 4);
  EXPECT_DOUBLE_EQ(o->faults.drop_rate, 0.1);
  EXPECT_DOUBLE_EQ(o->faults.stall_rate, 0.2);
  EXPECT_EQ(o->faults.stall_ms, 700);
  EXPECT_DOUBLE_EQ(o->faults.redirect_loop_rate, 0.3);
  EXPECT_DOUBLE_EQ(o->faults.gzip_cut_rate, 0.4);
  EXPECT_EQ(o->faults.oversize_mb, 9);
  EXPECT_TRUE(o->faults.oversize_results);
  EXPECT_EQ(o->faults.fail_after, 12);
  EXPECT_EQ(o->faults.fail_pref, 47);
  EXPECT_DOUBLE_EQ(o->change_share, 0.25);
  EXPECT_EQ(o->faults.next_link, NextLinkForm::kOtherHost);
}

struct BadCase {
  std::vector<std::string> args;
  std::string error_part;
};
inline void PrintTo(const BadCase& c, std::ostream* os) {
  for (const auto& arg : c.args) *os << arg << ' ';
}

class BadOptions : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadOptions, AreRefusedWithAReason) {
  std::string error;
  EXPECT_FALSE(Parse(GetParam().args, &error));
  EXPECT_NE(error.find(GetParam().error_part), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Table, BadOptions,
                         ::testing::Values(BadCase{{"--port"}, "needs a value"},
                                           BadCase{{"--port", "65536"}, "--port"},
                                           BadCase{{"--port", "12x"}, "--port"},
                                           BadCase{{"--fail-rate", "1.5"}, "--fail-rate"},
                                           BadCase{{"--fail-rate", "-0.1"}, "--fail-rate"},
                                           BadCase{{"--fail-codes", "503,abc"}, "--fail-codes"},
                                           BadCase{{"--fail-codes", "99"}, "--fail-codes"},
                                           BadCase{{"--fail-pref", "48"}, "--fail-pref"},
                                           BadCase{{"--oversize-mb", "0"}, "--oversize-mb"},
                                           BadCase{{"--change-share", "0.6"}, "--change-share"},
                                           BadCase{{"--change-share", "-0.1"}, "--change-share"},
                                           BadCase{{"--tls-port", "0"}, "--cert"},
                                           BadCase{{"--next-link", "next"}, "--next-link"},
                                           BadCase{{"--bogus", "1"}, "unknown option"},
                                           BadCase{{"--help"}, "help"}));

}  // namespace
}  // namespace valmeric::sitesim
