#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "faults.h"
#include "site_host.h"

namespace valmeric::sitesim {

inline constexpr std::uint64_t kDefaultSeed = 20240601;

struct SimOptions {
  std::string data_dir;
  std::string port_file;
  std::uint64_t seed = kDefaultSeed;
  double density = 1.0;       // facilities per pool, relative to the usual size
  double change_share = 0.0;  // FacilityModel's change share: 0 shows the usual data
  ListenOptions listen;
  FaultOptions faults;
};

// Parses the command line (without argv[0]). Returns nullopt and sets
// `error` on a bad option; `error` is "help" when --help was asked for.
std::optional<SimOptions> ParseOptions(const std::vector<std::string>& args,
                                       const std::string& default_data_dir, std::string& error);

const char* UsageText();

}  // namespace valmeric::sitesim
