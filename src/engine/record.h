#pragma once

#include <array>
#include <string>

namespace valmeric {

// One facility, eight Shift_JIS fields in CSV column order: code, name, postal
// code, address, telephone, nearest station, departments, detail page address.
using Record = std::array<std::string, 8>;

}  // namespace valmeric
