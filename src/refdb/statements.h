#pragma once

// Every SQL statement of the program. Values travel as bound parameters; the
// plan's conditions hold only codes the program itself counts.

#include <string>
#include <vector>

namespace valmeric::sql {

inline constexpr char kClearSeenCodes[] = "DELETE FROM T00_Data";
inline constexpr char kSelectSeenCode[] = "SELECT Hsp_code FROM T00_Data WHERE Hsp_code = ?";
inline constexpr char kInsertSeenCode[] = "INSERT INTO T00_Data (Hsp_code) VALUES (?)";
inline constexpr char kSeenCodeIndex[] =
    "CREATE INDEX IF NOT EXISTS T00_Data_Hsp_code ON T00_Data (Hsp_code)";

inline constexpr char kClearCities[] = "DELETE FROM T01_City";
inline constexpr char kInsertCity[] =
    "INSERT INTO T01_City (AreaCode, CityName, CItyCode) VALUES (?, ?, ?)";
inline constexpr char kClearSubCategories[] = "DELETE FROM T02_Category";
inline constexpr char kInsertSubCategory[] =
    "INSERT INTO T02_Category (CtgrCode, SubCtgrName, SubCtgrCode) VALUES (?, ?, ?)";

// The codes that have at least one row in each reference table.
inline constexpr char kPrefecturesWithCities[] = "SELECT DISTINCT AreaCode FROM T01_City";
inline constexpr char kCategoriesWithSubCategories[] = "SELECT DISTINCT CtgrCode FROM T02_Category";

// "SELECT SubCtgrCode, SubCtgrName FROM T02_Category WHERE CtgrCode = 1 OR ... ORDER BY ID"
std::string SubCategoryQuery(const std::vector<int>& category_codes);
// "SELECT AreaCode, CityCode, CityName FROM T01_City WHERE AreaCode = 1 OR ...
//  ORDER BY AreaCode, CityCode"
std::string CityQuery(const std::vector<int>& prefecture_codes);

}  // namespace valmeric::sql
