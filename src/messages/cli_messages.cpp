#include "messages/cli_messages.h"

#include "common/network/site_address.h"
#include "common/network/site_lists.h"
#include "common/version.h"
#include "engine/run_settings.h"
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
    "  export              取得した CSV ファイルから Excel ブック（.xlsx）を作ります\n"
    "  help                この説明を表示します\n"
    "  --version           版と取得先サイトのホスト名を表示します\n";

// The meanings of the exit statuses, as cli/exit_codes.h numbers them.
constexpr char kExitStatuses[] =
    "終了ステータス:\n"
    "  0  1 件以上の事業所を書き込みました\n"
    "  1  終わりましたが、該当する事業所はありませんでした\n"
    "  2  使い方、設定またはデータベースの誤り（何も書き込んでいません）\n"
    "  3  サイトに接続できませんでした（書き込んだ分は残り、--resume で続きから取得できます）\n"
    "  4  出力ファイル、データベースまたは標準出力に書き込めませんでした\n"
    "  5  終わりましたが、取得できなかったページか、サイトにないページがあります"
    "（--retry-failed でもう一度取得できます）\n"
    "  130  中断しました（--resume で続きから取得できます）\n";

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

}  // namespace

const std::string kCollectUsage =
    "使い方: valmeric-cli collect --category LIST --prefecture LIST --output FILE\n"
    "                             [--db FILE] [--site-origin URL] [--ca-file FILE]\n"
    "                             [--pause-ms N] [--retry-delays-ms N,N...]\n"
    "                             [--encoding cp932|utf-8] [--all-pages] [--xlsx] [--quiet]\n"
    "        valmeric-cli collect --resume|--retry-failed|--more-pages [--db FILE]\n"
    "                             [--site-origin URL] [--xlsx]\n"
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
    "  --all-pages        検索結果の 2 ページ目以降も、ページの「次へ」のリンクをたどって\n"
    "                     取得します（既定: 最初のページだけ）\n"
    "  --xlsx             事業所を書き込んで終わったとき、CSV と同じ名前の Excel ブック\n"
    "                     （.xlsx）も隣に作ります（export と同じもの）\n"
    "  --resume           データベースに記録された途中の取得処理を、止まったところから続けます。\n"
    "                     診療科目、都道府県、保存先、文字コードは記録されたものを使います\n"
    "                     （同じものであれば指定してもかまいません）\n"
    "  --retry-failed     記録された取得処理で取得できなかったページだけをもう一度取得し、\n"
    "                     その事業所を同じファイルに追加します\n"
    "  --more-pages       記録された取得処理で最初のページだけを読んだ検索結果の、\n"
    "                     2 ページ目以降を取得し、その事業所を同じファイルに追加します\n"
    "  途中の取得処理が記録されているときに新しく取得を始めると、記録は破棄されます。\n";

const char kStatusUsage[] =
    "使い方: valmeric-cli status [--db FILE]\n"
    "  データベースに記録された取得処理（診療科目と都道府県、保存先、処理済みのページ、\n"
    "  取得できなかったページ、2 ページ目以降の未取得の事業所）と、続きがあるかどうかを\n"
    "  表示します。続きがあるときは終了コード 0、ないときや記録がないときは 1 です\n";

const char kRebuildUsage[] =
    "使い方: valmeric-cli rebuild-cities|rebuild-categories [--db FILE] [--site-origin URL]\n"
    "                             [--ca-file FILE] [--retry-delays-ms N,N...] [--quiet]\n"
    "  市区町村の表、または診療科目の表をサイトの一覧ページから作り直します。\n"
    "  ページを取得できなかったときは、表は元のままです\n";

const char kDiffUsage[] =
    "使い方: valmeric-cli diff OLD.csv NEW.csv --output REPORT\n"
    "  OLD と比べて NEW で新しく載った事業所（新規）、内容が変わった事業所（変更）、\n"
    "  載らなくなった事業所（廃止）を病院IDで突き合わせ、NEW と同じ文字コードで\n"
    "  REPORT に書き出します。REPORT には collect と同じく .csv を付けます\n";

const char kExportUsage[] =
    "使い方: valmeric-cli export CSV [--output XLSX] [--db FILE]\n"
    "  取得した CSV ファイルから Excel ブックを作ります（既定の名前は CSV の拡張子を\n"
    "  .xlsx にしたもの）。すべてのセルは文字列で、見出しの行は固定、フィルター付きです。\n"
    "  2 枚目のシート「取得情報」には、データベースに記録された取得の内容を書きます。\n"
    "  CSV ファイルは変更しません\n";

std::string Count(long long n) {
  return std::to_string(n) + " 件";
}

std::string RebuiltRows(int rows) {
  return std::to_string(rows) + " 件を登録しました。";
}

std::string ChangeSummary(int added, int changed, int gone) {
  return ChangeCountsText(added, changed, gone);
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
  return NamedCodes(codes, kCategoryNamesUtf8, ", ");
}

std::string NamedPrefectures(const std::vector<int>& codes) {
  return NamedCodes(codes, kPrefectureNamesUtf8, ", ");
}

std::string Named(std::string_view text) {
  return WithProgramName(text);
}

std::string MainUsage() {
  return Named(kMainUsage);
}

std::string HelpText() {
  return MainUsage() + "\n" + Named(kCollectUsage) + Named(kStatusUsage) + Named(kRebuildUsage) +
         Named(kDiffUsage) + Named(kExportUsage) + "\n" + kExitStatuses + "\n" +
         CodeTable("診療科目のコード:", kCategoryNamesUtf8, 5) + "\n" +
         CodeTable("都道府県のコード:", kPrefectureNamesUtf8, 6);
}

std::string VersionText() {
  const bool placeholder = AimsAtPlaceholderHost(SiteOrigin());
  return Named("valmeric-cli ") + kProgramVersion + "\n" + text::kBuiltForHost +
         std::string(BuiltSiteHost()) + (placeholder ? text::kPlaceholderHostNote : "") + "\n";
}

const std::vector<std::string_view>& CliMessages() {
  using namespace text;
  static const std::vector<std::string_view> messages = {
      kMainUsage,          kUnknownCommand,    kUnknownOption,       kUnexpectedArgument,
      kTakesNoValue,       kNeedsValue,        kMilliseconds,        kTooManyDelays,
      kEncodingValue,      kResumeAndRetry,    kCategoryRequired,    kPrefectureRequired,
      kOutputRequired,     kCategoryCodes,     kPrefectureCodes,     kDiffInputs,
      kDiffWouldOverwrite, kDiffRepeatedCode,  kDiffZerosDropped,    kMismatch,
      kDroppedRun,         kResuming,          kFetchingAgain,       kRetryHint,
      kResumeHint,         kTableKept,         kErrorPrefix,         kWarningPrefix,
      kNothingRecorded,    kStatusCategories,  kStatusPrefectures,   kStatusOutput,
      kStatusEntriesDone,  kStatusPlanUnknown, kStatusWritten,       kStatusNotFetched,
      kStatusGone,         kStatusBeyond,      kStatusState,         kStateResumable,
      kStateRetryable,     kStateFinished,     kStatusRunning,       kCollectUsage,
      kStatusUsage,        kRebuildUsage,      kDiffUsage,           kRecorded,
      kSiteOriginHint,     kBuiltForHost,      kPlaceholderHostNote, kExitStatuses,
      kAllPagesOnlyNew,    kFetchingMorePages, kMorePagesHint,       kStatusUnlisted,
      kStateMorePages,     kExportUsage,       kExportInput};
  return messages;
}

}  // namespace valmeric::cli
