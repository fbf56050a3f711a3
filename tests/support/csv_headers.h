#pragma once

// The header lines of the CSV file and of the change report, written out by
// hand in UTF-8, for the tests that build such files or read them back.

namespace valmeric::test {

inline constexpr char kCsvHeader[] =
    "\"病院ID\",\"病院名\",\"郵便番号\",\"住所\",\"電話番号\",\"最寄駅\",\"診療科目\","
    "\"詳細ページURL\"";
inline constexpr char kReportHeader[] =
    "\"区分\",\"病院ID\",\"病院名\",\"郵便番号\",\"住所\",\"電話番号\",\"最寄駅\",\"診療科目\","
    "\"詳細ページURL\",\"変更項目\"";

}  // namespace valmeric::test
