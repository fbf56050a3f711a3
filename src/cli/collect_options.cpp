#include "cli/collect_options.h"

#include <charconv>

#include "cli/code_list.h"
#include "common/site_lists.h"

namespace valmeric::cli {

const char kCollectUsage[] =
    "usage: valmeric-cli collect --category LIST --prefecture LIST --output FILE\n"
    "                            [--db FILE] [--site-origin URL] [--ca-file FILE]\n"
    "                            [--pause-ms N] [--retry-delays-ms N,N...] [--quiet]\n"
    "  LIST: comma-separated codes (categories 1-10, prefectures 1-47) or all\n"
    "  --pause-ms         pause after each result page (default 500)\n"
    "  --retry-delays-ms  waits before retrying a page that failed (default 2000,4000)\n"
    "  --site-origin      send the site's requests to this scheme, host and port\n"
    "  --ca-file          also trust the certificates in this file\n";

namespace {

std::chrono::milliseconds ParseMilliseconds(std::string_view text, const std::string& option) {
  long long ms = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), ms);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || ms < 0 ||
      ms > 3'600'000) {
    throw UsageError(option + " takes whole numbers of milliseconds from 0 to 3600000");
  }
  return std::chrono::milliseconds(ms);
}

std::vector<std::chrono::milliseconds> ParseDelays(std::string_view text) {
  std::vector<std::chrono::milliseconds> delays;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    delays.push_back(ParseMilliseconds(text.substr(start, comma - start), "--retry-delays-ms"));
    start = comma + 1;
  }
  if (delays.size() > 10) throw UsageError("--retry-delays-ms takes at most 10 waits");
  return delays;
}

}  // namespace

CollectOptions ParseCollectOptions(const std::vector<std::string>& args) {
  CollectOptions options;
  bool has_category = false;
  bool has_prefecture = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    const size_t equals = name.find('=');
    const bool inline_value = name.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inline_value) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    if (name == "--quiet") {
      if (inline_value) throw UsageError("--quiet takes no value");
      options.quiet = true;
      continue;
    }
    if (!inline_value) {
      if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
      value = args[++i];
    }
    try {
      if (name == "--category") {
        options.selection.categories = ParseCodeList(value, kCategoryCount, "category");
        has_category = true;
      } else if (name == "--prefecture") {
        options.selection.prefectures = ParseCodeList(value, kPrefectureCount, "prefecture");
        has_prefecture = true;
      } else if (name == "--output") {
        options.output = value;
      } else if (name == "--db") {
        options.database = value;
      } else if (name == "--site-origin") {
        options.origin = SiteOrigin::Parse(value);
      } else if (name == "--ca-file") {
        options.ca_file = value;
      } else if (name == "--pause-ms") {
        options.pause = ParseMilliseconds(value, "--pause-ms");
      } else if (name == "--retry-delays-ms") {
        options.retry_delays = ParseDelays(value);
      } else {
        throw UsageError("unknown option " + name);
      }
    } catch (const UsageError&) {
      throw;
    } catch (const std::invalid_argument& error) {
      throw UsageError(error.what());
    }
  }
  if (!has_category) throw UsageError("--category is required");
  if (!has_prefecture) throw UsageError("--prefecture is required");
  if (options.output.empty()) throw UsageError("--output is required");
  return options;
}

}  // namespace valmeric::cli
