// Linked into every test program: the servers the tests start on 127.0.0.1
// are reached directly, whatever proxy the environment names, in the test
// programs and in the command lines they start alike. A test of the proxy
// variables sets them itself.

#include <cstdlib>

namespace {

struct LocalOnlyNetwork {
  LocalOnlyNetwork() {
#ifndef _WIN32
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
#endif
  }
};

const LocalOnlyNetwork kLocalOnlyNetwork;

}  // namespace
