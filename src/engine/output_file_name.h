#pragma once

#include <string>

namespace valmeric {

// The chosen output path with ".csv" appended unless its extension already
// is ".csv" in any letter case: "list" -> "list.csv", "a.txt" -> "a.txt.csv".
std::string WithCsvExtension(const std::string& path);

}  // namespace valmeric
