// The contract's routes served by servers in this process.

#include <memory>

#include "support/contract_routes.h"
#include "support/contract_site.h"
#include "support/local_server.h"
#include "support/temp_dir.h"

namespace valmeric::test {
namespace {

class LocalContractSite final : public ContractSite {
 public:
  LocalContractSite() {
    for (LocalServer* server : {&site_, &other_}) {
      AddContractRoutes(server->server());
      server->Start();
    }
    LocalServer closed;
    closed.Start();
    closed_origin_ = closed.Origin();
  }

  std::string Origin() const override { return site_.Origin(); }
  std::string OtherOrigin() const override { return other_.Origin(); }
  std::string ClosedOrigin() const override { return closed_origin_; }
  std::string UntrustedTlsOrigin() const override {
    if (!tls_) {
      tls_ = std::make_unique<LocalServer>(TestCertificate::Create(cert_dir_.path().string()));
      AddContractRoutes(tls_->server());
      tls_->Start();
    }
    return tls_->Origin();
  }

 private:
  LocalServer site_;
  LocalServer other_;
  std::string closed_origin_;
  TempDir cert_dir_;
  mutable std::unique_ptr<LocalServer> tls_;
};

}  // namespace

std::unique_ptr<ContractSite> OpenContractSite() {
  return std::make_unique<LocalContractSite>();
}

}  // namespace valmeric::test
