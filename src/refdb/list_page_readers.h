#pragma once

// Readers of the site's two list pages, apart from fetching and storing.

#include <string>
#include <vector>

#include "common/text/page_lines.h"

namespace valmeric {

struct ListedCity {
  std::string code;  // as cut from the page: digits when the page is as expected
  std::string name;  // Shift_JIS
  size_t line = 0;   // 1-based line of the city line
};

struct ListedSubCategory {
  int category = 0;  // count of headings above it
  std::string code;
  std::string name;  // Shift_JIS
  size_t line = 0;
};

// Cities of a city list page (lines in EUC-JP): each city line with a code in
// the line before it.
std::vector<ListedCity> ReadCityListPage(const PageLines& lines);

// Sub-categories of the sub-category list page, numbered by the headings.
std::vector<ListedSubCategory> ReadSubCategoryListPage(const PageLines& lines);

}  // namespace valmeric
