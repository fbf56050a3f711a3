#pragma once

// The small directory site the worker, command-line and window tests share:
// two cities of prefecture 1 (and one of prefecture 2) crossed with two
// sub-categories of category 1 (and one of category 9).

#include <string>
#include <vector>

#include "support/result_page.h"

namespace valmeric::test {

// Creates the database that matches the small site.
void CreateSmallSiteDatabase(const std::string& path);

// The four (area code + sub-category code) pairs of prefecture 1 and
// category 1, in plan order.
const std::vector<std::string>& SmallSitePairs();

// Facilities with codes numbered from..to, named name_stem followed by the
// number; the same number always gives the same code.
std::vector<PageFacility> NumberedFacilities(int from, int to, const std::string& name_stem);

}  // namespace valmeric::test
