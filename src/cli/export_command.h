#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace valmeric::cli {

// "export CSV [--output XLSX] [--db FILE]": writes the Excel workbook of a
// collection CSV and prints its path. args follow "export".
int RunExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace valmeric::cli
