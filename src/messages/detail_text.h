#pragma once

// The detail line under a message: one Japanese sentence for what went wrong,
// with the technical part (a path, the system's or the library's own words)
// after it in parentheses. UTF-8, like the messages it goes under. The
// network failures have their sentences in download_text.h.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace valmeric {
namespace detail {

// Files.
inline constexpr char kCannotOpen[] = "ファイルを開けませんでした。";
inline constexpr char kCannotRead[] = "ファイルを読み込めませんでした。";
inline constexpr char kCannotWrite[] = "ファイルに書き込めませんでした。";
inline constexpr char kCannotClose[] = "ファイルを閉じられませんでした。";
inline constexpr char kCannotSync[] = "ファイルの内容をディスクに書き出せませんでした。";
inline constexpr char kCannotCutBack[] = "ファイルを前回の取得の長さに戻せませんでした。";
inline constexpr char kAnotherRunWrites[] = "別の取得処理がこのファイルに書き込んでいます。";
inline constexpr char kShorterThanRecorded[] =
    "ファイルが前回の取得で書き込んだ長さより短くなっています。";
inline constexpr char kOutputNotOpen[] = "保存先のファイルが開かれていません。";
inline constexpr char kCannotCreateScratch[] = "一時ファイルを作成できませんでした。";
inline constexpr char kCannotOpenLock[] = "ロックファイルを開けませんでした。";
inline constexpr char kCannotLock[] = "データベースをロックできませんでした。";
inline constexpr char kDatabaseInUse[] = "別の取得処理がデータベースを使用中です。";

// The database.
inline constexpr char kDatabaseNotFound[] = "データベースファイルが見つかりません。";
inline constexpr char kDatabaseEmpty[] = "データベースファイルが空です。";
inline constexpr char kStrayWal[] =
    "このデータベースのものではない -wal ファイルが隣にあるため、データベースを開きませんでした。";
inline constexpr char kDatabaseOpen[] = "データベースを開けませんでした。";
inline constexpr char kDatabaseStatement[] = "データベースの処理に失敗しました。";
inline constexpr char kNotANumber[] = "数値であるべき値が数値ではありません。";

// The reference tables, when they leave a selection without a plan.
inline constexpr char kNoCityRows[] = "市区町村の表（T01_City）が空です。";
inline constexpr char kNoSubCategoryRows[] = "診療科目の表（T02_Category）が空です。";
inline constexpr char kNoCitiesFor[] =
    "市区町村の表（T01_City）に次の都道府県の市区町村がありません。";
inline constexpr char kNoSubCategoriesFor[] =
    "診療科目の表（T02_Category）に次の診療科目がありません。";
inline constexpr char kNoPlanPairs[] =
    "地域と診療科目の表に行はありますが、取得する地域と科目の組を作れませんでした。表のコードが正し"
    "くありません。";

// A CSV file read back (diff): the file and line, and what is wrong there, follow.
inline constexpr char kCsvFormat[] = "CSV ファイルの形式が正しくありません。";

// The table builders.
inline constexpr char kListPageNotFetched[] = "一覧ページを取得できませんでした。";
inline constexpr char kBuiltWithoutSiteHost[] =
    "このプログラムは取得先サイトのホスト名を指定せずにビルドされたため、サイトに接続できません。";
inline constexpr char kListPageNoCity[] = "一覧ページに市区町村が載っていません。";
inline constexpr char kListPageNoSubCategory[] = "一覧ページに診療科目が載っていません。";
inline constexpr char kListPageBadCode[] = "一覧ページのコードが数値ではありません。";

// The site's address given to the programs.
inline constexpr char kOriginForm[] =
    "サイトのアドレスは http://HOST[:PORT] または https://HOST[:PORT] の形で指定してください。";
inline constexpr char kOriginParts[] =
    "サイトのアドレスにはスキーム、ホスト名、ポート番号だけを指定してください。";

inline constexpr char kUnknownError[] = "原因不明のエラーが発生しました。";
// A Windows error the system has no words for; its number follows.
inline constexpr char kWindowsError[] = "Windows エラー";

}  // namespace detail

// sentence, and technical in parentheses after it when there is one.
std::string Detail(std::string_view sentence, std::string_view technical = {});
// A file operation that failed: the sentence, then the path and the system's words.
std::string FileDetail(std::string_view sentence, std::string_view path, std::string_view why);
// The place in a file or page that a technical part names: "where: N 行目: ".
std::string AtLine(std::string_view where, std::size_t line);

// Every sentence above, for the check that each one is Japanese.
const std::vector<std::string_view>& DetailSentences();

}  // namespace valmeric
