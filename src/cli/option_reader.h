#pragma once

#include <chrono>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/network/site_address.h"

namespace valmeric::cli {

class UsageError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Walks "--name value", "--name=value" and bare flags, calling handle(name,
// value) for each (value empty for flags), and positional(arg) for an
// argument that is neither. An invalid_argument thrown by either becomes a
// UsageError. Throws UsageError for a missing value, and for a positional
// argument when positional is empty.
void ReadOptions(
    const std::vector<std::string>& args, const std::set<std::string>& flags,
    const std::function<void(const std::string& name, const std::string& value)>& handle,
    const std::function<void(const std::string& arg)>& positional = {});

// The site origin of VALMERIC_SITE_ORIGIN, or none. Throws UsageError.
SiteOrigin EnvironmentOrigin();

// Whole milliseconds from 0 to one hour.
std::chrono::milliseconds ParseMilliseconds(std::string_view text, const std::string& option);
// Comma-separated waits, at most ten.
std::vector<std::chrono::milliseconds> ParseDelays(std::string_view text);

}  // namespace valmeric::cli
