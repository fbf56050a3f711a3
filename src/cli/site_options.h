#pragma once

#include <string>

#include "common/network/download.h"

namespace valmeric::cli {

// How the site is reached, read alike by collect and the rebuild commands:
// the origin of VALMERIC_SITE_ORIGIN unless --site-origin names one, and
// --ca-file. Throws UsageError for an origin that is not one.
DownloadSettings DefaultSiteSettings();
// True when name is --site-origin or --ca-file; its value is then in download.
bool ReadSiteOption(const std::string& name, const std::string& value, DownloadSettings& download);

}  // namespace valmeric::cli
