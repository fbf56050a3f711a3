#pragma once

// The two selection lists: category code n is CategoryNames()[n - 1],
// prefecture code n is PrefectureNames()[n - 1]. Texts are Shift_JIS.

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace valmeric {

inline constexpr int kCategoryCount = 10;
inline constexpr int kPrefectureCount = 47;

// The same names in UTF-8, for the edges (and the local site).
inline constexpr std::array<std::string_view, kCategoryCount> kCategoryNamesUtf8 = {
    "内科系",     "外科系",   "小児科系",           "精神科系",
    "産婦人科系", "皮膚科系", "泌尿器科・肛門科系", "眼科・耳鼻咽喉科系",
    "歯科系",     "動物病院"};

inline constexpr std::array<std::string_view, kPrefectureCount> kPrefectureNamesUtf8 = {
    "北海道", "青森県", "岩手県", "宮城県", "秋田県", "山形県",   "福島県", "茨城県",
    "栃木県", "群馬県", "埼玉県", "千葉県", "東京都", "神奈川県", "新潟県", "富山県",
    "石川県", "福井県", "山梨県", "長野県", "岐阜県", "静岡県",   "愛知県", "三重県",
    "滋賀県", "京都府", "大阪府", "兵庫県", "奈良県", "和歌山県", "鳥取県", "島根県",
    "岡山県", "広島県", "山口県", "徳島県", "香川県", "愛媛県",   "高知県", "福岡県",
    "佐賀県", "長崎県", "熊本県", "大分県", "宮崎県", "鹿児島県", "沖縄県"};

const std::vector<std::string>& CategoryNames();
const std::vector<std::string>& PrefectureNames();

// The codes, each with its name from names (kCategoryNamesUtf8 or
// kPrefectureNamesUtf8), joined by separator: "13 東京都、14 神奈川県". A code
// outside the list stands alone. UTF-8.
std::string NamedCodes(const std::vector<int>& codes, std::span<const std::string_view> names,
                       std::string_view separator);

}  // namespace valmeric
