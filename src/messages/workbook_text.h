#pragma once

// The workbook's own words: its sheets, the facts sheet's labels, and what
// the export says. UTF-8.

#include <string_view>
#include <vector>

namespace valmeric::workbook_text {

inline constexpr char kListSheet[] = "病院施設一覧";
inline constexpr char kFactsSheet[] = "取得情報";
inline constexpr char kTitle[] = "病院施設一覧";
inline constexpr char kFactsItem[] = "項目";
inline constexpr char kFactsValue[] = "内容";
inline constexpr char kFile[] = "CSVファイル";
inline constexpr char kFileTime[] = "CSVファイルの更新日時";
inline constexpr char kSite[] = "サイト";
inline constexpr char kCategories[] = "診療科目";
inline constexpr char kPrefectures[] = "都道府県";
inline constexpr char kWritten[] = "保存した事業所";
inline constexpr char kNotFetched[] = "取得できなかったページ";
inline constexpr char kGone[] = "サイトに存在しないページ";
inline constexpr char kBeyond[] = "2 ページ目以降の未取得の事業所";
inline constexpr char kNoRecord[] = "このCSVファイルを書いた取得の記録はデータベースにありません。";
inline constexpr char kCount[] = " 件";

// Failures, each followed by a detail line.
inline constexpr char kCannotWrite[] = "Excel ブックを書き出せませんでした。";
inline constexpr char kNotCollectorCsv[] =
    "このプログラムが書いた CSV ファイルではないため、Excel ブックにできませんでした。";
inline constexpr char kSameAsCsv[] = "Excel ブックの名前が CSV ファイルと同じため、作成しません。";
// After an export: "Excel ブックを書き出しました: path".
inline constexpr char kExported[] = "Excel ブックを書き出しました: ";

const std::vector<std::string_view>& Texts();

}  // namespace valmeric::workbook_text
