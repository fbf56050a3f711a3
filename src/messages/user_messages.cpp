#include "messages/user_messages.h"

#include "common/platform/app_paths.h"

namespace valmeric {

const std::vector<std::string_view>& UserMessageTexts() {
  using namespace msg;
  static const std::vector<std::string_view> texts = {kApplicationTitle,
                                                      kErrorTitle,
                                                      kDefaultOutputName,
                                                      kSaveTitle,
                                                      kSaveFilterName,
                                                      kSaveFilterPattern,
                                                      kWorkbookFilterName,
                                                      kWorkbookFilterPattern,
                                                      kNoCategory,
                                                      kNoPrefecture,
                                                      kFileInUse,
                                                      kFetching,
                                                      kCancelQuestion,
                                                      kCancelTitle,
                                                      kCloseQuestion,
                                                      kCloseTitle,
                                                      kDone,
                                                      kOpenQuestion,
                                                      kDoneTitle,
                                                      kFileGone,
                                                      kNothingFound,
                                                      kNothingTitle,
                                                      kUnreachable,
                                                      kConfigError,
                                                      kConfigTitle,
                                                      kBuilderDone,
                                                      kDatabaseBusy,
                                                      kDatabaseUnusable,
                                                      kDatabaseWrite,
                                                      kOutputWrite,
                                                      kScratchWrite,
                                                      kNoPlanRows,
                                                      kResultLineWrite,
                                                      kResumeQuestion,
                                                      kResumeTitle,
                                                      kRetryQuestion,
                                                      kNothingToResume,
                                                      kNothingToRetry,
                                                      kOutputChanged,
                                                      kPlanChanged,
                                                      kRecordInvalid,
                                                      kStaleTablesHint,
                                                      kNoMorePages,
                                                      kMorePagesQuestion,
                                                      kRefreshReportFailed,
                                                      kDatabaseFileMissing,
                                                      kDatabaseFileUnreadable,
                                                      kDatabaseFileNotADatabase};
  return texts;
}

std::string DoneQuestion() {
  return std::string(msg::kDone) + "\n" + msg::kOpenQuestion;
}

std::string DoneQuestion(int facilities, std::string_view path) {
  return std::string(msg::kDone) + "\n" + SavedText(facilities, path) + "\n" + msg::kOpenQuestion;
}

std::string IncompleteText(int not_fetched, int gone) {
  std::string text = "事業所情報の取得は終了しましたが、";
  if (not_fetched > 0 || gone == 0)
    text += "取得できなかったページが " + std::to_string(not_fetched) + " 件";
  if (not_fetched > 0 && gone > 0) text += "、";
  if (gone > 0) text += "サイトに存在しないページが " + std::to_string(gone) + " 件";
  text += "あります。";
  if (gone >= kManyGonePages) text.append("\n").append(StaleTablesHint());
  return text;
}

std::string ChangeCountsText(long long added, long long changed, long long gone) {
  return "新規 " + std::to_string(added) + " 件・変更 " + std::to_string(changed) + " 件・廃止 " +
         std::to_string(gone) + " 件";
}

std::string KeptPreviousText(std::string_view kept_name) {
  return "前回のファイルは " + std::string(kept_name) + " として同じフォルダーに残しています。";
}

std::string RefreshReportText(long long added, long long changed, long long gone,
                              std::string_view report_name) {
  return "前回から " + ChangeCountsText(added, changed, gone) + "。変更点を " +
         std::string(report_name) + " に書き出しました。";
}

std::string StaleTablesHint() {
  return WithProgramName(msg::kStaleTablesHint);
}

std::string WithProgramName(std::string_view text) {
  constexpr std::string_view kWritten = "valmeric-cli";
  const std::string_view program = CommandLineProgramName();
  std::string out;
  size_t start = 0;
  for (size_t at = text.find(kWritten); at != std::string_view::npos;
       at = text.find(kWritten, start)) {
    out.append(text.substr(start, at - start)).append(program);
    start = at + kWritten.size();
  }
  return out.append(text.substr(start));
}

std::string KeptText(int facilities_written, std::string_view output) {
  return "取得済みの " + std::to_string(facilities_written) + " 件は保存されています。\n(" +
         std::string(output) + ")";
}

std::string InterruptedText(int entries_done, int entries_total, int facilities_written,
                            std::string_view output) {
  return "取得処理を中断しました。" + std::to_string(entries_done) + " / " +
         std::to_string(entries_total) + " ページを処理し、" + std::to_string(facilities_written) +
         " 件を保存しました。\n(" + std::string(output) + ")";
}

std::string ResumeDetail(std::string_view output, int done, int total) {
  return std::string(output) + "\n" + std::to_string(total) + " ページ中 " + std::to_string(done) +
         " ページ処理済み";
}

std::string SavedText(int facilities, std::string_view file) {
  return std::to_string(facilities) + " 件を保存しました（" + std::string(file) + "）";
}

std::string StoppedStatus(bool cancelled, int facilities, std::string_view file) {
  std::string text = cancelled ? "中断しました。" : "途中で終了しました。";
  if (facilities <= 0) return text;
  return text + std::to_string(facilities) + " 件を保存しています（" + std::string(file) + "）";
}

std::string DatabaseFileDetail(std::string_view path, std::string_view problem) {
  return std::string(path) + "（" + std::string(problem) + "）";
}

std::string BeyondFirstPageText(int facilities, int pairs) {
  return "検索結果の 2 ページ目以降に、まだ取得していない事業所が " + std::to_string(facilities) +
         " 件あります（" + std::to_string(pairs) + " 組の地域と科目）。";
}

std::string LaterPagesLeftText(int facilities) {
  return "検索結果の 2 ページ目以降に、まだ取得していない事業所が " + std::to_string(facilities) +
         " 件あります。";
}

std::string UnlistedText(int facilities, int pairs) {
  return "サイトが件数に含めたものの、どの結果ページにも載っていなかった事業所が " +
         std::to_string(facilities) + " 件あります（" + std::to_string(pairs) +
         " 組の地域と科目）。";
}

std::string PairsCappedText(int pairs, int most_pages) {
  return "結果ページが " + std::to_string(most_pages) +
         " ページを超えたため、途中で読むのをやめた地域と科目が " + std::to_string(pairs) +
         " 組あります。";
}

std::string EntriesSkippedText(int entries) {
  return "リンクから事業所のコードを読み取れなかったため、書き出さなかった事業所が " +
         std::to_string(entries) + " 件あります。";
}

std::string CountsUnreadableText(int pages) {
  return "件数を読み取れなかった結果ページが " + std::to_string(pages) +
         " ページあります（載っていた事業所はすべて読みました）。";
}

std::string PairsUnaskableText(int pairs) {
  return "地域または診療科目のコードが正しくないため、取得できなかった組が " +
         std::to_string(pairs) +
         " 組あります。管理者に依頼して地域と診療科目の情報を作り直してください。";
}

std::string CityBuilderProgress(int prefecture) {
  return "県コード：" + std::to_string(prefecture) + " 取得中";
}

std::string WithDetail(std::string_view text, std::string_view detail) {
  std::string out(text);
  if (!detail.empty()) out.append("\n").append(detail);
  return out;
}

std::string ForConsole(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace valmeric
