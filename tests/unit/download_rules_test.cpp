#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/network/download_transfer.h"
#include "common/network/site_host.h"

namespace valmeric::download {
namespace {

TEST(RetryAfter, SecondsOrAnHttpDate) {
  const std::time_t date = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
  struct Case {
    std::string value;
    std::time_t now;
    long seconds;
  } cases[] = {
      {"7", date, 7},
      {" 120 \r\n", date, 120},
      {"Sun, 06 Nov 1994 08:49:37 GMT", date - 30, 30},
      {"Sunday, 06-Nov-94 08:49:37 GMT", date - 30, 30},
      {"Sun Nov  6 08:49:37 1994", date - 30, 30},
      {"Sun, 06 Nov 1994 08:49:37 GMT", date + 5, 0},  // already past
      {"Tue, 29 Feb 2028 00:00:00 GMT", 1835395200 - 1, 1},
      {"", date, -1},
      {"soon", date, -1},
      {"12345678901", date, -1},
      {"Sun, 06 Nov 1994 25:49:37 GMT", date, -1},
      {"Sun, 06 Nov 1994 GMT", date, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseRetryAfter(c.value, c.now), c.seconds) << '"' << c.value << '"';
}

TEST(RedirectTarget, ResolvedAgainstTheAddressThatSentIt) {
  struct Case {
    std::string base, reference, resolved;
  } cases[] = {
      {"http://h:8/a/b?x", "/page", "http://h:8/page"},
      {"http://h:8/a/b/up", "../../page", "http://h:8/page"},
      {"http://h/a/b", "../../../page", "http://h/page"},
      {"http://h:8/a/b", "c?q=1", "http://h:8/a/c?q=1"},
      {"http://h/a/b", "./c/./d/../e", "http://h/a/c/e"},
      {"http://h/a/b", "?y", "http://h/a/b?y"},
      {"https://h/a", "//other/x", "https://other/x"},
      {"http://h/a", "HTTPS://H/x", "HTTPS://H/x"},
      {"http://h/a", "http://h/a/b/../../c/./d#f", "http://h/c/d"},
      {"https://h/a", "//other/x/../../y#f", "https://other/y"},
      {"http://h/a", "javascript:void(0)", "javascript:void(0)"},
      {"http://h/a", "  /p#top \r\n", "http://h/p"},
      {"not an address", "/p", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResolveReference(c.base, c.reference), c.resolved) << c.base << " + " << c.reference;
  }
}

TEST(RedirectTarget, StaysOnTheSiteOnlyOnItsHostAndPort) {
  const SiteOrigin origin = SiteOrigin::Parse("http://127.0.0.1:8080");
  const std::string site = kSiteHost;
  struct Case {
    std::string target;
    bool with_origin;
    bool stays;
  } cases[] = {
      {"http://127.0.0.1:8080/x", true, true},
      {"HTTP://127.0.0.1:08080/x", true, true},
      {"http://user@127.0.0.1:8080/x", true, true},
      {"http://127.0.0.1:8081/x", true, false},
      {"http://localhost:8080/x", true, false},
      {"http://127.0.0.1/x", true, false},
      {"file:///etc/hostname", true, false},
      {"ftp://127.0.0.1:8080/x", true, false},
      {"http://127.0.0.1:99999/x", true, false},
      {"https://" + site + "/x", false, true},
      {"http://" + site + ":80/x", false, true},
      {"http://" + site + ":443/x", false, false},
      {"http://" + site + ".elsewhere.example/x", false, false},
      {"http://127.0.0.1:8080/x", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StaysOnSite(c.target, c.with_origin ? origin : SiteOrigin()), c.stays) << c.target;
  }
}

// Once a download has gone over https, no hop of it goes over plain http,
// even on the site's own host and port: such a redirect is refused as one
// away from the site.
TEST(RedirectTarget, ADownloadOnHttpsNeverGoesOverPlainHttp) {
  const std::string site = std::string("://") + kSiteHost;
  struct Case {
    std::string origin;
    std::string url;
    std::vector<std::string> redirects;  // the targets the hops answer with, in turn
    std::vector<std::string> asked;
    DownloadFailure failure;
  } cases[] = {
      {"",
       "https" + site + "/a",
       {"http" + site + "/b"},
       {"https" + site + "/a"},
       DownloadFailure::kRedirectAway},
      {"",
       "https" + site + "/a",
       {"HTTP" + site + ":80/b"},
       {"https" + site + "/a"},
       DownloadFailure::kRedirectAway},
      {"",
       "http" + site + "/a",
       {"https" + site + "/b", "http" + site + "/c"},
       {"http" + site + "/a", "https" + site + "/b"},
       DownloadFailure::kRedirectAway},
      {"",
       "http" + site + "/a",
       {"https" + site + "/b"},
       {"http" + site + "/a", "https" + site + "/b"},
       DownloadFailure::kNone},
      {"",
       "https" + site + "/a",
       {"https" + site + "/b"},
       {"https" + site + "/a", "https" + site + "/b"},
       DownloadFailure::kNone},
      {"",
       "http" + site + "/a",
       {"http" + site + "/b"},
       {"http" + site + "/a", "http" + site + "/b"},
       DownloadFailure::kNone},
      {"https://127.0.0.1:8443",
       "https" + site + "/a",
       {"http://127.0.0.1:8443/b"},
       {"https://127.0.0.1:8443/a"},
       DownloadFailure::kRedirectAway},
      // A site address goes through the origin, and so stays on https.
      {"https://127.0.0.1:8443",
       "https" + site + "/a",
       {"http" + site + "/b"},
       {"https://127.0.0.1:8443/a", "https://127.0.0.1:8443/b"},
       DownloadFailure::kNone},
      {"http://127.0.0.1:8080",
       "https" + site + "/a",
       {"http://127.0.0.1:8080/b"},
       {"http://127.0.0.1:8080/a", "http://127.0.0.1:8080/b"},
       DownloadFailure::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url + " -> " + c.redirects.back());
    DownloadSettings settings;
    if (!c.origin.empty()) settings.origin = SiteOrigin::Parse(c.origin);
    std::vector<std::string> asked;
    const HopEnd end = FollowRedirects(c.url, settings, [&](const std::string& url, auto) {
      const size_t k = asked.size();
      asked.push_back(url);
      return HopEnd{true,
                    k < c.redirects.size() ? c.redirects[k] : std::string(),
                    DownloadFailure::kNone,
                    {}};
    });
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(end.ok, c.failure == DownloadFailure::kNone);
    EXPECT_EQ(end.failure, c.failure);
    if (c.failure == DownloadFailure::kRedirectAway) {
      EXPECT_EQ(end.error, c.redirects[c.asked.size() - 1]);
    }
  }
}

}  // namespace
}  // namespace valmeric::download
