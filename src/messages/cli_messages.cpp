#include "messages/cli_messages.h"

#include "cli/collect_options.h"
#include "cli/diff_command.h"
#include "cli/rebuild_command.h"
#include "cli/status_command.h"
#include "common/network/site_lists.h"
#include "messages/user_messages.h"

namespace valmeric::cli {
namespace {

constexpr char kMainUsage[] =
    "使い方: valmeric-cli コマンド [オプション]\n"
    "コマンド:\n"
    "  collect             選択した診療科目と都道府県の事業所情報を CSV ファイルに取得します\n"
    "  status              データベースに記録された取得処理と、再開できるかどうかを表示します\n"
    "  rebuild-cities      市区町村の表をサイトの市区町村一覧ページから作り直します\n"
    "  rebuild-categories  診療科目の表をサイトの科目一覧ページから作り直します\n"
    "  diff                取得した 2 つの CSV ファイルの違いを一覧にします\n"
    "  help                この説明を表示します\n";

template <typename Names>
std::string CodeTable(const char* title, const Names& names, size_t per_line) {
  std::string table = title;
  for (size_t i = 0; i < names.size(); ++i) {
    table += i % per_line == 0 ? "\n  " : "  ";
    const std::string code = std::to_string(i + 1);
    table += std::string(code.size() < 2 ? " " : "") + code + " " + std::string(names[i]);
  }
  return table + "\n";
}

template <typename Names>
std::string NamedCodes(const std::vector<int>& codes, const Names& names) {
  std::string text;
  for (const int code : codes) {
    if (!text.empty()) text += ", ";
    text += std::to_string(code);
    if (code >= 1 && code <= static_cast<int>(names.size())) {
      text += " " + std::string(names[static_cast<size_t>(code) - 1]);
    }
  }
  return text;
}

}  // namespace

std::string Count(long long n) {
  return std::to_string(n) + " 件";
}

std::string RebuiltRows(int rows) {
  return std::to_string(rows) + " 件を登録しました。";
}

std::string ChangeSummary(int added, int changed, int gone) {
  return "新規 " + Count(added) + "・変更 " + Count(changed) + "・廃止 " + Count(gone);
}

std::string EntriesLine(int done, int total, int not_fetched, int facilities,
                        std::string_view output) {
  return "処理済み " + std::to_string(done) + " / " + (total >= 0 ? std::to_string(total) : "?") +
         " ページ、取得できなかったページ " + Count(not_fetched) + "、保存した事業所 " +
         Count(facilities) + "(" + std::string(output) + ")";
}

std::string BeyondLine(int facilities, int pairs) {
  return Count(facilities) + "（" + std::to_string(pairs) + " 組の地域と科目）";
}

std::string ProgressWritten(int written) {
  return Count(written) + "保存";
}

std::string ProgressRemaining(std::string_view duration) {
  return "残り約 " + std::string(duration);
}

std::string NamedCategories(const std::vector<int>& codes) {
  return NamedCodes(codes, kCategoryNamesUtf8);
}

std::string NamedPrefectures(const std::vector<int>& codes) {
  return NamedCodes(codes, kPrefectureNamesUtf8);
}

std::string Named(std::string_view text) {
  return WithProgramName(text);
}

std::string MainUsage() {
  return Named(kMainUsage);
}

std::string HelpText() {
  return MainUsage() + "\n" + Named(kCollectUsage) + Named(kStatusUsage) + Named(kRebuildUsage) +
         Named(kDiffUsage) + "\n" + CodeTable("診療科目のコード:", kCategoryNamesUtf8, 5) + "\n" +
         CodeTable("都道府県のコード:", kPrefectureNamesUtf8, 6);
}

const std::vector<std::string_view>& CliMessages() {
  using namespace text;
  static const std::vector<std::string_view> messages = {
      kMainUsage,          kUnknownCommand,    kUnknownOption,    kUnexpectedArgument,
      kTakesNoValue,       kNeedsValue,        kMilliseconds,     kTooManyDelays,
      kEncodingValue,      kResumeAndRetry,    kCategoryRequired, kPrefectureRequired,
      kOutputRequired,     kCategoryCodes,     kPrefectureCodes,  kDiffInputs,
      kDiffWouldOverwrite, kDiffRepeatedCode,  kMismatch,         kDroppedRun,
      kResuming,           kFetchingAgain,     kRetryHint,        kResumeHint,
      kTableKept,          kErrorPrefix,       kWarningPrefix,    kNothingRecorded,
      kStatusCategories,   kStatusPrefectures, kStatusOutput,     kStatusEntriesDone,
      kStatusPlanUnknown,  kStatusWritten,     kStatusNotFetched, kStatusGone,
      kStatusBeyond,       kStatusState,       kStateResumable,   kStateRetryable,
      kStateFinished,      kStatusRunning,     kCollectUsage,     kStatusUsage,
      kRebuildUsage,       kDiffUsage};
  return messages;
}

}  // namespace valmeric::cli
