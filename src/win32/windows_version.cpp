#include "win32/windows_version.h"

#include <windows.h>

namespace valmeric::win32 {

bool WindowsAtLeast(unsigned major, unsigned minor) {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&version)) return false;
#pragma GCC diagnostic pop
  return version.dwMajorVersion > major ||
         (version.dwMajorVersion == major && version.dwMinorVersion >= minor);
}

}  // namespace valmeric::win32
