#include "cli/collect_options.h"

#include "cli/code_list.h"
#include "cli/site_options.h"
#include "common/network/site_lists.h"
#include "messages/cli_messages.h"
#include "messages/detail_text.h"

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
    "使い方: valmeric-cli collect --category LIST --prefecture LIST --output FILE\n"
    "                             [--db FILE] [--site-origin URL] [--ca-file FILE]\n"
    "                             [--pause-ms N] [--retry-delays-ms N,N...]\n"
    "                             [--encoding cp932|utf-8] [--quiet]\n"
    "        valmeric-cli collect --resume|--retry-failed [--db FILE] [--site-origin URL]\n"
    "                             [--ca-file FILE] [--pause-ms N] [--retry-delays-ms N,N...] "
    "[--quiet]\n"
    "  LIST               カンマで区切ったコード（診療科目 1～10、都道府県 1～47）、または all\n"
    "  --output           保存先の CSV ファイル（.csv が付いていなければ付けます）\n"
    "  --db               データベース（既定: 実行ファイルの隣の db/hpt_data.db）\n"
    "  --pause-ms         結果ページを 1 つ取得するごとの待ち時間（ミリ秒、既定 " +
    DefaultPause() +
    "）\n"
    "  --retry-delays-ms  取得できなかったページをもう一度取得するまでの待ち時間（ミリ秒、既定 " +
    DefaultRetryDelays() +
    "）\n"
    "  --site-origin      サイトへの要求をこのスキーム、ホスト、ポートに送ります\n"
    "                     （既定: 環境変数 VALMERIC_SITE_ORIGIN）\n"
    "  --ca-file          このファイルの証明書も信頼します\n"
    "  --encoding         cp932（Shift_JIS、既定）または utf-8（BOM 付き）\n"
    "  --quiet            進み具合を表示しません\n"
    "  --resume           データベースに記録された途中の取得処理を、止まったところから続けます。\n"
    "                     診療科目、都道府県、保存先、文字コードは記録されたものを使います\n"
    "                     （同じものであれば指定してもかまいません）\n"
    "  --retry-failed     記録された取得処理で取得できなかったページだけをもう一度取得し、\n"
    "                     その事業所を同じファイルに追加します\n"
    "  途中の取得処理が記録されているときに新しく取得を始めると、記録は破棄されます。\n";

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
                  options.selection.categories =
                      ParseCodeList(value, kCategoryCount, text::kCategoryCodes);
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
                  if (value == "cp932") {
                    options.encoding = CsvEncoding::kCp932;
                  } else if (value == "utf-8") {
                    options.encoding = CsvEncoding::kUtf8;
                  } else {
                    throw UsageError(text::kEncodingValue);
                  }
                  options.has_encoding = true;
                } else {
                  throw UsageError(Detail(text::kUnknownOption, name));
                }
              });
  if (resume && retry) throw UsageError(text::kResumeAndRetry);
  if (resume || retry) {
    options.mode = resume ? RunMode::kResume : RunMode::kRetryFailed;
    return options;
  }
  if (!has_category) throw UsageError(text::kCategoryRequired);
  if (!has_prefecture) throw UsageError(text::kPrefectureRequired);
  if (options.output.empty()) throw UsageError(text::kOutputRequired);
  return options;
}

}  // namespace valmeric::cli
