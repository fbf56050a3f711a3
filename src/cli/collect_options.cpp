#include "cli/collect_options.h"

#include "cli/code_list.h"
#include "cli/site_options.h"
#include "common/site_lists.h"

namespace valmeric::cli {

namespace {

// The defaults as the usage text names them, read from the run's own settings.
std::string DefaultPause() {
  return std::to_string(RunSettings().page_pause.count());
}

std::string DefaultRetryDelays() {
  std::string text;
  for (const auto delay : RunSettings().retry.delays) {
    text += (text.empty() ? "" : ",") + std::to_string(delay.count());
  }
  return text;
}

}  // namespace

const std::string kCollectUsage =
    "usage: valmeric-cli collect --category LIST --prefecture LIST --output FILE\n"
    "                            [--db FILE] [--site-origin URL] [--ca-file FILE]\n"
    "                            [--pause-ms N] [--retry-delays-ms N,N...]\n"
    "                            [--encoding cp932|utf-8] [--quiet]\n"
    "       valmeric-cli collect --resume|--retry-failed [--db FILE] [--site-origin URL]\n"
    "                            [--ca-file FILE] [--pause-ms N] [--retry-delays-ms N,N...] "
    "[--quiet]\n"
    "  LIST: comma-separated codes (categories 1-10, prefectures 1-47) or all\n"
    "  --pause-ms         pause after each result page (default " +
    DefaultPause() +
    ")\n"
    "  --retry-delays-ms  waits before retrying a page that failed (default " +
    DefaultRetryDelays() +
    ")\n"
    "  --site-origin      send the site's requests to this scheme, host and port\n"
    "                     (default: the VALMERIC_SITE_ORIGIN environment variable)\n"
    "  --ca-file          also trust the certificates in this file\n"
    "  --encoding         cp932 (Shift_JIS, the default) or utf-8 (with a byte-order mark)\n"
    "  --resume           go on with the unfinished run recorded in the database, where it\n"
    "                     stopped; its selection, file and encoding are the recorded ones\n"
    "                     (naming them again is allowed when they match)\n"
    "  --retry-failed     fetch again only the entries the recorded run could not fetch,\n"
    "                     appending their facilities to its file\n"
    "  A new run while an unfinished one is recorded drops the recorded one.\n";

CollectOptions ParseCollectOptions(const std::vector<std::string>& args) {
  CollectOptions options;
  options.settings.download = DefaultSiteSettings();
  bool& has_category = options.has_category;
  bool& has_prefecture = options.has_prefecture;
  bool resume = false;
  bool retry = false;
  ReadOptions(args, {"--quiet", "--resume", "--retry-failed"},
              [&](const std::string& name, const std::string& value) {
                if (ReadSiteOption(name, value, options.settings.download)) return;
                if (name == "--quiet") {
                  options.quiet = true;
                } else if (name == "--resume") {
                  resume = true;
                } else if (name == "--retry-failed") {
                  retry = true;
                } else if (name == "--category") {
                  options.selection.categories = ParseCodeList(value, kCategoryCount, "category");
                  has_category = true;
                } else if (name == "--prefecture") {
                  options.selection.prefectures =
                      ParseCodeList(value, kPrefectureCount, "prefecture");
                  has_prefecture = true;
                } else if (name == "--output") {
                  options.output = value;
                } else if (name == "--db") {
                  options.database = value;
                } else if (name == "--pause-ms") {
                  options.settings.page_pause = ParseMilliseconds(value, "--pause-ms");
                } else if (name == "--retry-delays-ms") {
                  options.settings.retry.delays = ParseDelays(value);
                } else if (name == "--encoding") {
                  if (value == "cp932") {
                    options.encoding = CsvEncoding::kCp932;
                  } else if (value == "utf-8") {
                    options.encoding = CsvEncoding::kUtf8;
                  } else {
                    throw UsageError("--encoding takes cp932 or utf-8");
                  }
                  options.has_encoding = true;
                } else {
                  throw UsageError("unknown option " + name);
                }
              });
  if (resume && retry) throw UsageError("--resume and --retry-failed do not go together");
  if (resume || retry) {
    options.mode = resume ? RunMode::kResume : RunMode::kRetryFailed;
    return options;
  }
  if (!has_category) throw UsageError("--category is required");
  if (!has_prefecture) throw UsageError("--prefecture is required");
  if (options.output.empty()) throw UsageError("--output is required");
  return options;
}

}  // namespace valmeric::cli
