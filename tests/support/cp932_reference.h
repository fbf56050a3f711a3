#pragma once

namespace valmeric::test {

// True when code page 932 names the double-byte character (lead, trail),
// asked of the system's own converter (iconv, or Windows' code page 932), not
// of the program's tables.
bool IsAssigned(unsigned char lead, unsigned char trail);

}  // namespace valmeric::test
