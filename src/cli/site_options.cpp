#include "cli/site_options.h"

#include "cli/option_reader.h"

namespace valmeric::cli {

DownloadSettings DefaultSiteSettings() {
  DownloadSettings download;
  download.origin = EnvironmentOrigin();
  return download;
}

bool ReadSiteOption(const std::string& name, const std::string& value, DownloadSettings& download) {
  if (name == "--site-origin") {
    download.origin = SiteOrigin::Parse(value);
  } else if (name == "--ca-file") {
    download.ca_file = value;
  } else {
    return false;
  }
  return true;
}

}  // namespace valmeric::cli
