// valmeric_contract_server: serves the download contract's routes on
// 127.0.0.1 for a test program that cannot serve them itself (the Windows
// build, run under Wine). Prints the origins as NAME=VALUE lines, then serves
// until SIGTERM or SIGINT.

#include <pthread.h>
#include <csignal>
#include <iostream>

#include "support/contract_site.h"

int main() {
  using namespace valmeric::test;
  // Blocked before any server thread starts, so that only sigwait takes them.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  try {
    const auto site = OpenContractSite();
    std::cout << kOriginVariable << '=' << site->Origin() << '\n'
              << kOtherOriginVariable << '=' << site->OtherOrigin() << '\n'
              << kClosedOriginVariable << '=' << site->ClosedOrigin() << '\n'
              << kTlsOriginVariable << '=' << site->UntrustedTlsOrigin() << std::endl;
    int signal = 0;
    sigwait(&stop, &signal);
  } catch (const std::exception& error) {
    std::cerr << "valmeric_contract_server: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
