#pragma once

#include <string>
#include <vector>

#include "reference_data.h"

namespace valmeric::refdata {

// Writes a fresh reference database to `path`: an empty duplicate table and
// the two reference tables in the given order. An existing file is replaced
// only once the new one is complete. Throws std::runtime_error on failure.
void WriteReferenceDatabase(const std::string& path, const std::vector<City>& cities,
                            const std::vector<SubCategory>& subcategories);

}  // namespace valmeric::refdata
