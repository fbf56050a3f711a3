#pragma once

#include <memory>
#include <string>

namespace valmeric::test {

// Where the download contract's routes are served: by servers in this
// process, or by valmeric_contract_server, named in environment variables.
class ContractSite {
 public:
  virtual ~ContractSite() = default;
  virtual std::string Origin() const = 0;        // "http://127.0.0.1:PORT"
  virtual std::string OtherOrigin() const = 0;   // the same routes on another port
  virtual std::string ClosedOrigin() const = 0;  // a port nothing listens on
  // The routes over HTTPS, with a certificate nobody trusts.
  virtual std::string UntrustedTlsOrigin() const = 0;
};

// The site of this build. Throws std::runtime_error saying what is missing.
std::unique_ptr<ContractSite> OpenContractSite();

// The environment variables valmeric_contract_server's origins go in.
inline constexpr const char* kOriginVariable = "VALMERIC_CONTRACT_ORIGIN";
inline constexpr const char* kOtherOriginVariable = "VALMERIC_CONTRACT_OTHER_ORIGIN";
inline constexpr const char* kClosedOriginVariable = "VALMERIC_CONTRACT_CLOSED_ORIGIN";
inline constexpr const char* kTlsOriginVariable = "VALMERIC_CONTRACT_TLS_ORIGIN";

}  // namespace valmeric::test
