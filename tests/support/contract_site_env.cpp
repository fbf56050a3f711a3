// The contract's routes served by valmeric_contract_server, which another
// process started; its origins come in environment variables.

#include <cstdlib>
#include <stdexcept>

#include "support/contract_site.h"

namespace valmeric::test {
namespace {

std::string Required(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    throw std::runtime_error(
        std::string(name) +
        " is not set: start valmeric_contract_server and pass on the origins it "
        "prints (scripts/windows-download-tests.sh does both)");
  }
  return value;
}

class RemoteContractSite final : public ContractSite {
 public:
  RemoteContractSite()
      : origin_(Required(kOriginVariable)),
        other_(Required(kOtherOriginVariable)),
        closed_(Required(kClosedOriginVariable)),
        tls_(Required(kTlsOriginVariable)) {}

  std::string Origin() const override { return origin_; }
  std::string OtherOrigin() const override { return other_; }
  std::string ClosedOrigin() const override { return closed_; }
  std::string UntrustedTlsOrigin() const override { return tls_; }

 private:
  std::string origin_, other_, closed_, tls_;
};

}  // namespace

std::unique_ptr<ContractSite> OpenContractSite() {
  return std::make_unique<RemoteContractSite>();
}

}  // namespace valmeric::test
