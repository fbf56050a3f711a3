#include "common/platform/standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace valmeric {

bool OpenClosedStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lower descriptors are open by now, so this one is the lowest free.
    if (open("/dev/null", O_RDWR) != fd) return false;
  }
  return true;
}

}  // namespace valmeric
