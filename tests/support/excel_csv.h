#pragma once

#include <string>
#include <string_view>

namespace valmeric::test {

// How a spreadsheet saves a collection CSV it opened. The default is Excel's
// "CSV UTF-8" as a user's re-save leaves it: UTF-8 after a byte-order mark,
// LF line ends, no trailing empty column, and codes of digits only without
// their leading zeros (Excel took them for numbers).
struct ExcelSave {
  enum class Encoding { kUtf8WithBom, kUtf8, kCp932 };
  Encoding encoding = Encoding::kUtf8WithBom;
  std::string line_end = "\n";
  bool trailing_column = false;  // keep the comma after each record's last field
  bool keep_zeros = false;
};

// collected (a collection CSV: CP932, or UTF-8 after a byte-order mark;
// fields quoted or bare) saved again: each field quoted only where it holds a
// comma, a double quote or a line break, inner quotes doubled.
std::string ExcelResave(std::string_view collected, const ExcelSave& save = {});

}  // namespace valmeric::test
