#include "common/network/site_address.h"

#include <cstdlib>
#include <stdexcept>

#include "common/network/site_host.h"
#include "messages/detail_text.h"

namespace valmeric {

std::string ResultPagePath(std::string_view area_code, std::string_view sub_category_code) {
  std::string path = "/doko/kekka.php/";
  path += area_code;
  path += sub_category_code;
  path += "/";
  return path;
}

std::string ResultPageUrl(std::string_view area_code, std::string_view sub_category_code) {
  return std::string("https://") + kSiteHost + ResultPagePath(area_code, sub_category_code);
}

std::string CityListUrl(int prefecture_code) {
  return std::string("http://") + kSiteHost +
         "/doko/city.php?pref_no=" + std::to_string(prefecture_code);
}

std::string SubCategoryListUrl() {
  return std::string("http://") + kSiteHost + "/doko/kamoku.php?pref_no=01&city_no=27";
}

std::string DetailPageUrl(std::string_view link_path) {
  std::string url = "https://";
  url += kSiteHost;
  url += "/";
  url += link_path;
  return url;
}

std::string_view BuiltSiteHost() {
  return kSiteHost;
}

bool AimsAtPlaceholderHost(const SiteOrigin& origin) {
  return origin.str().empty() && std::string_view(kSiteHost) == kPlaceholderSiteHost;
}

namespace {

bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '[' || c == ']' || c == ':';
}

// Length of "scheme://site-host" at the start of url, or 0 when url is not an
// address of the site.
size_t SitePrefixLength(std::string_view url) {
  const std::string_view host(kSiteHost);
  for (std::string_view scheme : {"http://", "https://"}) {
    if (url.substr(0, scheme.size()) != scheme) continue;
    const std::string_view rest = url.substr(scheme.size());
    if (rest.substr(0, host.size()) != host) return 0;
    if (rest.size() > host.size() && rest[host.size()] != '/' && rest[host.size()] != '?') {
      return 0;
    }
    return scheme.size() + host.size();
  }
  return 0;
}

}  // namespace

SiteOrigin SiteOrigin::Parse(std::string_view origin) {
  std::string_view rest;
  for (std::string_view scheme : {"http://", "https://"}) {
    if (origin.substr(0, scheme.size()) == scheme) rest = origin.substr(scheme.size());
  }
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  if (rest.empty() || rest.front() == ':') {
    throw std::invalid_argument(Detail(detail::kOriginForm, origin));
  }
  for (char c : rest) {
    if (!IsHostChar(c)) {
      throw std::invalid_argument(Detail(detail::kOriginParts, origin));
    }
  }
  SiteOrigin parsed;
  parsed.origin_ = std::string(origin.substr(0, origin.size() - (origin.back() == '/' ? 1 : 0)));
  return parsed;
}

std::string SiteOrigin::Apply(std::string_view url) const {
  const size_t prefix = origin_.empty() ? 0 : SitePrefixLength(url);
  if (prefix == 0) return std::string(url);
  return origin_ + std::string(url.substr(prefix));
}

SiteOrigin SiteOrigin::FromEnvironment() {
  const char* value = std::getenv("VALMERIC_SITE_ORIGIN");
  if (value == nullptr || *value == '\0') return {};
  try {
    return Parse(value);
  } catch (const std::invalid_argument& error) {
    throw std::invalid_argument(error.what() + std::string("(VALMERIC_SITE_ORIGIN)"));
  }
}

}  // namespace valmeric
