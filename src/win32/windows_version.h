#pragma once

// The Windows version as the system reports it to this program. Without a
// manifest entry for a newer system, Windows 8.1 and later report 6.2.

namespace valmeric::win32 {

// The system is at least version major.minor (6.0 Vista, 6.1 Windows 7);
// false when it does not tell its version.
bool WindowsAtLeast(unsigned major, unsigned minor);

}  // namespace valmeric::win32
