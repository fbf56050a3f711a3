#pragma once

#include <string>
#include <string_view>

namespace valmeric {

// The directory site's page addresses, all built from the one site host.
std::string ResultPageUrl(std::string_view area_code, std::string_view sub_category_code);
// The path of that address: "/doko/kekka.php/01101110/".
std::string ResultPagePath(std::string_view area_code, std::string_view sub_category_code);
std::string CityListUrl(int prefecture_code);
std::string SubCategoryListUrl();
std::string DetailPageUrl(std::string_view link_path);

// The host this build fetches from.
std::string_view BuiltSiteHost();

class SiteOrigin;
// True when pages would go to the placeholder host the build carries when it
// was made without the site's host name: origin names no other site.
bool AimsAtPlaceholderHost(const SiteOrigin& origin);

// A replacement for the site's scheme, host and port ("http://127.0.0.1:8080"),
// used by tests and local runs. Empty means the real site.
class SiteOrigin final {
 public:
  SiteOrigin() = default;
  // Throws std::invalid_argument unless origin is "http://" or "https://"
  // followed by a host and an optional port, with nothing after but an
  // optional "/".
  static SiteOrigin Parse(std::string_view origin);
  // The origin named by the environment variable VALMERIC_SITE_ORIGIN, which
  // the window and the command line both read; empty when it is unset or
  // empty. Throws std::invalid_argument, naming the variable, for a bad value.
  static SiteOrigin FromEnvironment();

  // url with the site's scheme, host and port replaced; path and query kept.
  // Addresses of other hosts, and every address when no origin is set, come
  // back unchanged.
  std::string Apply(std::string_view url) const;

  const std::string& str() const { return origin_; }

 private:
  std::string origin_;
};

}  // namespace valmeric
