#include "cli/collect_options.h"

#include "cli/code_list.h"
#include "cli/site_options.h"
#include "common/network/site_lists.h"
#include "messages/cli_messages.h"
#include "messages/detail_text.h"

namespace valmeric::cli {

CollectOptions ParseCollectOptions(const std::vector<std::string>& args) {
  CollectOptions options;
  options.settings.download = DefaultSiteSettings();
  bool& has_category = options.has_category;
  bool& has_prefecture = options.has_prefecture;
  bool resume = false;
  bool retry = false;
  bool more_pages = false;
  ReadOptions(
      args, {"--quiet", "--resume", "--retry-failed", "--more-pages", "--all-pages", "--xlsx"},
      [&](const std::string& name, const std::string& value) {
        if (ReadSiteOption(name, value, options.settings.download)) return;
        if (name == "--quiet") {
          options.quiet = true;
        } else if (name == "--xlsx") {
          options.xlsx = true;
        } else if (name == "--resume") {
          resume = true;
        } else if (name == "--retry-failed") {
          retry = true;
        } else if (name == "--more-pages") {
          more_pages = true;
        } else if (name == "--all-pages") {
          options.pages = PageScope::kAllPages;
        } else if (name == "--category") {
          options.selection.categories = ParseCodeList(value, kCategoryCount, text::kCategoryCodes);
          has_category = true;
        } else if (name == "--prefecture") {
          options.selection.prefectures =
              ParseCodeList(value, kPrefectureCount, text::kPrefectureCodes);
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
          const std::optional<CsvEncoding> encoding = EncodingNamed(value);
          if (!encoding) throw UsageError(text::kEncodingValue);
          options.encoding = *encoding;
          options.has_encoding = true;
        } else {
          throw UsageError(Detail(text::kUnknownOption, name));
        }
      });
  if (int{resume} + int{retry} + int{more_pages} > 1) throw UsageError(text::kResumeAndRetry);
  if (resume || retry || more_pages) {
    if (options.pages != PageScope::kFirstPages) throw UsageError(text::kAllPagesOnlyNew);
    options.mode = resume ? RunMode::kResume : retry ? RunMode::kRetryFailed : RunMode::kMorePages;
    return options;
  }
  if (!has_category) throw UsageError(text::kCategoryRequired);
  if (!has_prefecture) throw UsageError(text::kPrefectureRequired);
  if (options.output.empty()) throw UsageError(text::kOutputRequired);
  return options;
}

}  // namespace valmeric::cli
