#pragma once

// The two selection lists: category code n is CategoryNames()[n - 1],
// prefecture code n is PrefectureNames()[n - 1]. Texts are Shift_JIS.

#include <string>
#include <vector>

namespace valmeric {

inline constexpr int kCategoryCount = 10;
inline constexpr int kPrefectureCount = 47;

const std::vector<std::string>& CategoryNames();
const std::vector<std::string>& PrefectureNames();

}  // namespace valmeric
