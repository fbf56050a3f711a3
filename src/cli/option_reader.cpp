#include "cli/option_reader.h"

#include <algorithm>
#include <charconv>

#include "messages/cli_messages.h"
#include "messages/detail_text.h"

namespace valmeric::cli {

void ReadOptions(
    const std::vector<std::string>& args, const std::set<std::string>& flags,
    const std::function<void(const std::string& name, const std::string& value)>& handle,
    const std::function<void(const std::string& arg)>& positional) {
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    const size_t equals = name.find('=');
    const bool inline_value = name.rfind("--", 0) == 0 && equals != std::string::npos;
    const bool is_positional = name.rfind("--", 0) != 0;
    if (inline_value) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    if (is_positional) {
      if (!positional) throw UsageError(Detail(text::kUnexpectedArgument, name));
    } else if (flags.count(name) != 0) {
      if (inline_value) throw UsageError(Detail(text::kTakesNoValue, name));
    } else if (!inline_value) {
      if (i + 1 >= args.size()) throw UsageError(Detail(text::kNeedsValue, name));
      value = args[++i];
    }
    try {
      if (is_positional) {
        positional(name);
      } else {
        handle(name, value);
      }
    } catch (const UsageError&) {
      throw;
    } catch (const std::invalid_argument& error) {
      throw UsageError(error.what());
    }
  }
}

SiteOrigin EnvironmentOrigin() {
  try {
    return SiteOrigin::FromEnvironment();
  } catch (const std::invalid_argument& error) {
    throw UsageError(error.what());
  }
}

std::chrono::milliseconds ParseMilliseconds(std::string_view text, const std::string& option) {
  long long ms = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), ms);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || ms < 0 ||
      ms > 3'600'000) {
    throw UsageError(Detail(text::kMilliseconds, option));
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
  if (delays.size() > 10) throw UsageError(text::kTooManyDelays);
  return delays;
}

}  // namespace valmeric::cli
