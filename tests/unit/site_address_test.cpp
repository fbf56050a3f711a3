#include "common/network/site_address.h"

#include <gtest/gtest.h>

#include "common/network/site_host.h"

namespace valmeric {
namespace {

const std::string kHost = kSiteHost;

TEST(SiteAddress, PagesAreBuiltFromTheOneSiteHost) {
  EXPECT_EQ(ResultPageUrl("01027", "110"), "https://" + kHost + "/doko/kekka.php/01027110/");
  EXPECT_EQ(CityListUrl(1), "http://" + kHost + "/doko/city.php?pref_no=1");
  EXPECT_EQ(CityListUrl(47), "http://" + kHost + "/doko/city.php?pref_no=47");
  EXPECT_EQ(SubCategoryListUrl(), "http://" + kHost + "/doko/kamoku.php?pref_no=01&city_no=27");
  EXPECT_EQ(DetailPageUrl("hospital/123/"), "https://" + kHost + "/hospital/123/");
}

TEST(SiteOrigin, SendsSiteRequestsElsewhereKeepingPathAndQuery) {
  const SiteOrigin origin = SiteOrigin::Parse("http://127.0.0.1:8080/");
  EXPECT_EQ(origin.Apply(ResultPageUrl("01027", "110")),
            "http://127.0.0.1:8080/doko/kekka.php/01027110/");
  EXPECT_EQ(origin.Apply(CityListUrl(3)), "http://127.0.0.1:8080/doko/city.php?pref_no=3");
  EXPECT_EQ(origin.Apply("https://other.example/x"), "https://other.example/x");
  EXPECT_EQ(origin.Apply("https://" + kHost + ".evil.example/x"),
            "https://" + kHost + ".evil.example/x");
  EXPECT_EQ(SiteOrigin().Apply(CityListUrl(3)), CityListUrl(3));
}

TEST(SiteOrigin, RefusesAnythingButSchemeHostAndPort) {
  for (const char* bad : {"", "127.0.0.1:80", "ftp://x", "http://", "http://x/path", "http://x?q",
                          "http://:80", "http://a b"}) {
    EXPECT_THROW(SiteOrigin::Parse(bad), std::invalid_argument) << bad;
  }
  EXPECT_EQ(SiteOrigin::Parse("https://localhost:8443").str(), "https://localhost:8443");
}

}  // namespace
}  // namespace valmeric
