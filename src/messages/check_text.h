#pragma once

// What is wrong with a file or a record read back: a CSV file that diff
// compares, and the recorded run and its CSV file that a resume takes up.
// UTF-8. Each stands in the technical part of a detail line, after the place
// it was found; a table column or a count may follow it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace valmeric {
namespace check_text {

// A CSV file read back.
inline constexpr char kCsvEmpty[] =
    "ファイルが空です。このプログラムの CSV ファイルは見出しの行で始まります";
inline constexpr char kCsvOtherHeader[] = "見出しの行がこのプログラムの書くものと違います";
inline constexpr char kCsvNotUtf8OrCp932[] = "UTF-8 ではないか、Shift_JIS (CP932) にない文字です";
inline constexpr char kCsvNotCp932[] = "Shift_JIS (CP932) ではありません";
// Before what is wrong with a record.
inline constexpr char kCsvRecordForm[] =
    "1 件は引用符で囲んだ 8 つの項目で、それぞれの後にカンマが付きます: ";
inline constexpr char kCsvEmptyLine[] = "空の行です";
inline constexpr char kCsvLineEndsAfterFields[] = " 項目で行が終わっています";  // after a count
// After "N 番目の項目".
inline constexpr char kCsvQuoteInBareField[] = "が引用符で囲まれていないのに引用符を含んでいます";
inline constexpr char kCsvFieldUnclosed[] = "を閉じる引用符がありません";
inline constexpr char kCsvFieldNoComma[] = "の後にカンマがありません";
inline constexpr char kCsvMoreThanEightFields[] = "8 番目の項目の後にも続きがあります";

// The recorded run; the column, or the column and its value, follow in parentheses.
inline constexpr char kRecordedCategories[] = "診療科目の記録が正しくありません";
inline constexpr char kRecordedPrefectures[] = "都道府県の記録が正しくありません";
inline constexpr char kRecordedEncoding[] = "文字コードの記録が正しくありません";
inline constexpr char kRecordedOutput[] = "保存先の記録が正しくありません";
inline constexpr char kRecordedCounts[] = "記録された件数が正しくありません";

// The recorded run's CSV file.
inline constexpr char kNotAFile[] = "ファイルではありません";
inline constexpr char kSizeUnreadable[] =
    "ファイルの大きさを読めません";  // the system's words follow
inline constexpr char kLinesNotThereThen[] = "取得したときにはなかった行があります";
inline constexpr char kFileMissing[] = "ファイルが見つかりません";
inline constexpr char kFileUnreadable[] = "ファイルを読めません";
inline constexpr char kFileReadShort[] = "ファイルを最後まで読めません";
inline constexpr char kOtherHeader[] = "先頭が取得したときの見出し行ではありません";
inline constexpr char kMidLine[] = "記録された位置が行の途中です";
inline constexpr char kContentChanged[] = "取得したときと内容が変わっています";

}  // namespace check_text

// "N バイト目: " what.
std::string AtByte(std::size_t byte, std::string_view what);
// "N 番目の項目" what.
std::string FieldProblem(std::size_t field, std::string_view what);
// "記録された N バイトより短くなっています (M バイト)"
std::string ShorterThanRecorded(std::uintmax_t recorded, std::uintmax_t size);
// "記録された N 件と行数 (M 件) が合いません"
std::string LinesDisagree(std::int64_t recorded, std::int64_t lines);

// Every constant above, for the check that each one is Japanese.
const std::vector<std::string_view>& CheckTexts();

}  // namespace valmeric
