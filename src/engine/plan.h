#pragma once

#include <string>
#include <vector>

#include "refdb/sqlite_db.h"

namespace valmeric {

// The ticked codes of the two selection lists, ascending.
struct Selection {
  std::vector<int> categories;   // 1..10
  std::vector<int> prefectures;  // 1..47
};

// Prefecture as at least two digits, city as at least three: 1, 27 -> "01027".
std::string FormatAreaCode(long long prefecture_code, long long city_code);

// One plan entry per (city, sub-category) pair, cities outer and sub-categories
// inner: "prefecture,city name,area code,sub-category code,sub-category name".
std::vector<std::string> BuildPlan(Database& db, const Selection& selection);

// The status line of a plan entry: prefecture name, city name, " - ",
// sub-category name, " (done/total)". Entries that do not split into five
// fields show only the counts.
std::string PairStatusText(const std::string& plan_entry, int done, int total);

}  // namespace valmeric
