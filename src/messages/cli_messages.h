#pragma once

// What the command line says on stderr (and status on stdout), in UTF-8.
// The program's name in these texts is "valmeric-cli"; Named() puts the
// platform's own spelling in its place.

#include <string>
#include <string_view>
#include <vector>

namespace valmeric::cli {
namespace text {

inline constexpr char kUnknownCommand[] = "次のコマンドはありません。";
inline constexpr char kUnknownOption[] = "次のオプションは使えません。";
inline constexpr char kUnexpectedArgument[] = "余分な引数が指定されました。";
inline constexpr char kTakesNoValue[] = "このオプションには値を指定できません。";
inline constexpr char kNeedsValue[] = "このオプションには値が必要です。";
inline constexpr char kMilliseconds[] = "0 から 3600000 までのミリ秒を整数で指定してください。";
inline constexpr char kTooManyDelays[] = "--retry-delays-ms の待ち時間は 10 個までです。";
inline constexpr char kEncodingValue[] = "--encoding には cp932 か utf-8 を指定してください。";
inline constexpr char kResumeAndRetry[] =
    "--resume、--retry-failed、--more-pages はどれか 1 つだけ指定してください。";
inline constexpr char kAllPagesOnlyNew[] =
    "--all-pages は新しく取得を始めるときだけ指定できます（続きは記録された方法で取得します）。";
inline constexpr char kCategoryRequired[] = "--category を指定してください。";
inline constexpr char kPrefectureRequired[] = "--prefecture を指定してください。";
inline constexpr char kOutputRequired[] = "--output を指定してください。";
inline constexpr char kCategoryCodes[] =
    "診療科目のコードは 1 から 10 までの数をカンマで区切って指定するか、all と指定してください。";
inline constexpr char kPrefectureCodes[] =
    "都道府県のコードは 1 から 47 までの数をカンマで区切って指定するか、all と指定してください。";
inline constexpr char kDiffInputs[] =
    "diff には比べる 2 つの CSV ファイル（OLD と NEW）を指定してください。";
inline constexpr char kExportInput[] =
    "export には Excel ブックにする CSV ファイルを 1 つ指定してください。";
inline constexpr char kDiffWouldOverwrite[] =
    "比較結果のファイルが比べるファイルを上書きしてしまうため、作成しません。";
inline constexpr char kDiffRepeatedCode[] = "同じ病院IDが前の行にもあります。最初の行を使います。";
// Followed by "(path: N 件, line: code / the other file's code)".
inline constexpr char kDiffZerosDropped[] =
    "病院IDの先頭の 0 が消えています（Excel "
    "で保存し直したファイルなど）。数として同じ病院IDを同じ施設として比べます。";
inline constexpr char kMismatch[] = "指定された値が、記録されている取得処理のものと異なります。";
// Before the recorded value in the detail of kMismatch: "記録: --output FILE".
inline constexpr char kRecorded[] = "記録: ";
inline constexpr char kDroppedRun[] =
    "データベースに記録されていた途中の取得処理は破棄し、新しい取得を始めます。";
inline constexpr char kResuming[] = "前回の取得処理の続きから取得します。";
inline constexpr char kFetchingAgain[] = "取得できなかったページをもう一度取得します。";
inline constexpr char kFetchingMorePages[] = "検索結果の 2 ページ目以降を取得します。";
inline constexpr char kMorePagesHint[] =
    "続きのページは valmeric-cli collect --more-pages で取得できます。";
inline constexpr char kRetryHint[] =
    "もう一度取得するには valmeric-cli collect --retry-failed を実行してください。";
inline constexpr char kResumeHint[] = "続きは valmeric-cli collect --resume で取得できます。";
inline constexpr char kTableKept[] = "表は元のままです。";
inline constexpr char kSiteOriginHint[] =
    "取得先のサイトは --site-origin https://ホスト名 または環境変数 VALMERIC_SITE_ORIGIN "
    "で指定できます。";
inline constexpr char kBuiltForHost[] = "取得先サイトのホスト名: ";
inline constexpr char kPlaceholderHostNote[] = "（ホスト名を指定せずにビルドされた仮の名前です）";
inline constexpr char kErrorPrefix[] = "エラー: ";
inline constexpr char kWarningPrefix[] = "警告: ";

// status
inline constexpr char kNothingRecorded[] = "データベースに取得処理の記録はありません。";
inline constexpr char kStatusCategories[] = "診療科目: ";
inline constexpr char kStatusPrefectures[] = "都道府県: ";
inline constexpr char kStatusOutput[] = "保存先: ";
inline constexpr char kStatusEntriesDone[] = "処理済みのページ: ";
inline constexpr char kStatusPlanUnknown[] = "?（取得する地域と科目の一覧を作る前に終了しました）";
inline constexpr char kStatusWritten[] = "保存した事業所: ";
inline constexpr char kStatusNotFetched[] = "取得できなかったページ: ";
inline constexpr char kStatusGone[] = "サイトに存在しないページ: ";
inline constexpr char kStatusBeyond[] = "2 ページ目以降の未取得の事業所: ";
inline constexpr char kStatusUnlisted[] = "どの結果ページにも載っていなかった事業所: ";
inline constexpr char kStatusState[] = "状態: ";
inline constexpr char kStateResumable[] =
    "途中で終了しています。valmeric-cli collect --resume で続きを取得できます。";
inline constexpr char kStateRetryable[] =
    "終了しましたが取得できなかったページがあります。valmeric-cli collect --retry-failed "
    "でもう一度取得できます。";
inline constexpr char kStateMorePages[] =
    "終了しましたが 2 ページ目以降を取得していない検索結果があります。valmeric-cli collect "
    "--more-pages で取得できます。";
inline constexpr char kStateFinished[] = "終了しています。";
inline constexpr char kStatusRunning[] = "実行中: 別のプログラムが今データベースを使用しています。";

}  // namespace text

// The usage of each command. kCollectUsage names the run's default waits.
extern const std::string kCollectUsage;
extern const char kStatusUsage[];
extern const char kRebuildUsage[];
extern const char kDiffUsage[];
extern const char kExportUsage[];

// "…件" counts and the lines that carry figures.
std::string Count(long long n);  // "N 件"
std::string RebuiltRows(int rows);
std::string ChangeSummary(int added, int changed, int gone);
std::string EntriesLine(int done, int total, int not_fetched, int facilities,
                        std::string_view output);
std::string BeyondLine(int facilities, int pairs);
std::string ProgressWritten(int written);
std::string ProgressRemaining(std::string_view duration);
// The codes with their names: "13 東京都, 14 神奈川県".
std::string NamedCategories(const std::vector<int>& codes);
std::string NamedPrefectures(const std::vector<int>& codes);

// text with the platform's program name ("valmeric-cli.exe" on Windows).
std::string Named(std::string_view text);

// The usage texts, and every text above, for the check that each is Japanese.
std::string MainUsage();
std::string HelpText();
// "valmeric-cli VERSION" and the host the build fetches from.
std::string VersionText();
const std::vector<std::string_view>& CliMessages();

}  // namespace valmeric::cli
