#pragma once

// Every text a user reads, in one place for the window and the command line.
// UTF-8. A message with a technical detail (a path, a system error) puts it on
// a second line of its own.

#include <string>
#include <string_view>
#include <vector>

namespace valmeric {

// Message box styles, with the values of the Windows message box flags.
namespace mb {
inline constexpr unsigned kOk = 0x0;
inline constexpr unsigned kYesNo = 0x4;
inline constexpr unsigned kIconStop = 0x10;
inline constexpr unsigned kIconQuestion = 0x20;
inline constexpr unsigned kIconInformation = 0x40;
inline constexpr unsigned kDefaultButton2 = 0x100;
inline constexpr unsigned kTopmost = 0x40000;

inline constexpr unsigned kNotice = kOk | kIconInformation | kTopmost;     // 0x40040
inline constexpr unsigned kConfirm = kYesNo | kIconQuestion | kTopmost;    // 0x40024
inline constexpr unsigned kConfirmDefaultNo = kConfirm | kDefaultButton2;  // 0x40124
inline constexpr unsigned kError = kOk | kIconStop;                        // 0x10
}  // namespace mb

// Answers, as the Windows message box returns them.
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// One message box: what it says, its title and its style.
struct UserMessage {
  std::string text;
  std::string title;
  unsigned style = mb::kNotice;
};

namespace msg {

inline constexpr char kApplicationTitle[] = "Valmeric";
inline constexpr char kErrorTitle[] = "Error";
inline constexpr char kDefaultOutputName[] = "病院施設一覧.csv";
inline constexpr char kSaveTitle[] = "取得情報の保存先を指定してください";
inline constexpr char kSaveFilterName[] = "CSVファイル";
inline constexpr char kSaveFilterPattern[] = "*.csv";
inline constexpr char kWorkbookFilterName[] = "Excel ブック";
inline constexpr char kWorkbookFilterPattern[] = "*.xlsx";

inline constexpr char kNoCategory[] = "診療科目は１つ以上を選択してください。";
inline constexpr char kNoPrefecture[] = "都道府県は１つ以上を選択してください。";
inline constexpr char kFileInUse[] =
    "選択されたファイルが他のアプリケーションで使用中の為\n開くことができませんでした。";
inline constexpr char kFetching[] = "ページ情報を取得中です。しばらくお待ちください。";
inline constexpr char kCancelQuestion[] = "取得処理を中断します。\nよろしいですか？";
inline constexpr char kCancelTitle[] = "中断確認";
inline constexpr char kCloseQuestion[] = "取得処理の実行中ですが終了しますか？";
inline constexpr char kCloseTitle[] = "終了確認";
inline constexpr char kDone[] = "事業所情報の取得が完了しました。";
inline constexpr char kOpenQuestion[] = "保存したファイルを開きますか？";
inline constexpr char kDoneTitle[] = "処理確認";
inline constexpr char kFileGone[] = "該当するファイルが見つかりませんでした。";
// The desktop has no program for the finished file; the file's path follows.
inline constexpr char kNoOpener[] = "ファイルを開くプログラムが見つかりませんでした。";
inline constexpr char kNothingFound[] = "該当する事業所情報は見つかりませんでした。";
inline constexpr char kNothingTitle[] = "検索終了";
inline constexpr char kUnreachable[] =
    "サイトへのアクセスができませんでした。\r\nしばらく時間を置いてから再度実行してください。";
inline constexpr char kConfigError[] =
    "DBファイルの設定が正しくありません。\n管理者に確認してください。";
inline constexpr char kConfigTitle[] = "設定エラー";
inline constexpr char kBuilderDone[] = "終了";
inline constexpr char kDatabaseFileMissing[] = "ファイルがありません";
inline constexpr char kDatabaseFileUnreadable[] = "ファイルを読み込めません";
inline constexpr char kDatabaseFileNotADatabase[] = "データベースのファイルではありません";

// Failures that stop a start or a run.
inline constexpr char kDatabaseBusy[] =
    "他のプログラムがデータベースを使用中のため、取得を開始できませんでした。";
inline constexpr char kDatabaseUnusable[] = "データベースを読み込めませんでした。";
inline constexpr char kDatabaseWrite[] = "データベースに書き込めませんでした。";
inline constexpr char kOutputWrite[] = "保存先のファイルに書き込めませんでした。";
inline constexpr char kScratchWrite[] = "一時ファイルに書き込めませんでした。";
inline constexpr char kNoPlanRows[] =
    "選択された診療科目または都道府県の地域情報がデータベースにありません。";
inline constexpr char kResultLineWrite[] = "結果を標準出力に書き出せませんでした。";

// Resuming a run, and fetching again what it could not fetch.
inline constexpr char kResumeQuestion[] =
    "前回の取得は途中で終了しています。続きから再開しますか？";
inline constexpr char kResumeTitle[] = "再開確認";
inline constexpr char kRetryQuestion[] = "取得できなかったページだけをもう一度取得しますか？";
inline constexpr char kNothingToResume[] = "途中で終了した取得処理の記録がありません。";
inline constexpr char kNothingToRetry[] = "取得できなかったページの記録がありません。";
inline constexpr char kNoMorePages[] =
    "2 ページ目以降が未取得の検索結果は、前回の取得の記録にありません。";
inline constexpr char kMorePagesQuestion[] = "続きのページも取得しますか？";
inline constexpr char kOutputChanged[] =
    "前回の保存先ファイルが見つからないか変更されているため、続きから取得できません。";
inline constexpr char kPlanChanged[] =
    "前回の取得の後に地域または診療科目の情報が更新されたため、続きから取得できません。";
inline constexpr char kStaleTablesHint[] =
    "地域または診療科目の情報が古くなっている可能性があります。管理者に依頼して "
    "valmeric-cli rebuild-cities と rebuild-categories で作り直してください。";
inline constexpr char kRecordInvalid[] =
    "データベースに記録された前回の取得の情報が正しくないため、続きから取得できません。";

// Comparing two runs.
inline constexpr char kDiffInputIsFolder[] =
    "フォルダーが指定されたため、CSVファイルとして読み込めませんでした。";
// The change report a run writes by itself after replacing a list.
inline constexpr char kRefreshReportFailed[] = "前回との変更点のファイルを書き出せませんでした。";

}  // namespace msg

// Every constant above, for the check that each one is Japanese.
const std::vector<std::string_view>& UserMessageTexts();

// "…完了しました。\n保存したファイルを開きますか？"
std::string DoneQuestion();
// The same, with the line of what was saved where (SavedText) between.
std::string DoneQuestion(int facilities, std::string_view path);
// From this many pages that do not exist on, the end of a run says that the
// reference tables may be out of date.
inline constexpr int kManyGonePages = 3;
// A finished run some of whose pages could not be fetched or do not exist,
// with their counts.
std::string IncompleteText(int not_fetched, int gone = 0);
// The rebuild hint, naming the command line program as typed on this system.
std::string StaleTablesHint();
// text, whose every "valmeric-cli" names the command line program, with the
// name as typed on this system ("valmeric-cli.exe" on Windows).
std::string WithProgramName(std::string_view text);
// After a run that stopped early: what it wrote, and where.
std::string KeptText(int facilities_written, std::string_view output);
// After an interrupt: how far the run got, and what it wrote where.
std::string InterruptedText(int entries_done, int entries_total, int facilities_written,
                            std::string_view output);
// The resume question's detail: the file on a line, and "M ページ中 N ページ処理済み" on the next.
std::string ResumeDetail(std::string_view output, int done, int total);
// The end question's line, and the status line after a run: "N 件を保存しました（file）".
std::string SavedText(int facilities, std::string_view file);
// The status line after a run that stopped before its end: cancelled by the
// user, or stopped by a failure; with what it saved, when it saved anything.
std::string StoppedStatus(bool cancelled, int facilities, std::string_view file);
// Why the database file cannot serve, after its path: missing, unreadable, or
// not a database.
std::string DatabaseFileDetail(std::string_view path, std::string_view problem);
// Facilities that result pages announced beyond what their first page listed.
std::string BeyondFirstPageText(int facilities, int pairs);
// The same, as the start of the question whether to read the later pages.
std::string LaterPagesLeftText(int facilities);
// Facilities the site announced that none of its linked pages listed, with
// the pairs whose pages stopped at the most a pair is read.
std::string UnlistedText(int facilities, int pairs);
std::string PairsCappedText(int pairs, int most_pages);
// Facility entries left out because their link held no facility code.
std::string EntriesSkippedText(int entries);
// Result pages whose count could not be read; their entries were all read.
std::string CountsUnreadableText(int pages);
// Plan entries never asked for: their codes in the reference tables are no numbers.
std::string PairsUnaskableText(int pairs);
// The status line while the city table is rebuilt, after prefecture:
// "県コード：13 取得中".
std::string CityBuilderProgress(int prefecture);
// "新規 N 件・変更 N 件・廃止 N 件".
std::string ChangeCountsText(long long added, long long changed, long long gone);
// Where a new run kept the list it replaced: its file name, in the same folder.
std::string KeptPreviousText(std::string_view kept_name);
// The change report a run wrote by itself: the counts and the report's file name.
std::string RefreshReportText(long long added, long long changed, long long gone,
                              std::string_view report_name);
// text, and detail on a line of its own when there is one.
std::string WithDetail(std::string_view text, std::string_view detail);
// A message written for a box, fit for a terminal: CR LF becomes LF.
std::string ForConsole(std::string_view text);

}  // namespace valmeric
