#pragma once

#include <memory>
#include <string>

#include "support/local_server.h"

namespace valmeric::test {

// A certificate authority of the tests' own, made with OpenSSL's API, and
// server certificates for 127.0.0.1 with one fault each. A client that
// trusts ca_file finds no fault in kNone, and only the named one in the
// others.
class TestAuthority final {
 public:
  enum class Fault {
    kNone,
    kExpired,        // valid until yesterday
    kWrongName,      // for another host name, not 127.0.0.1
    kUnknownIssuer,  // signed by an authority nobody trusts
  };

  // Writes the authority's certificate into folder.
  explicit TestAuthority(std::string folder);
  ~TestAuthority();

  const std::string& ca_file() const { return ca_file_; }
  // A server certificate and its key, written into the folder.
  TestCertificate Issue(Fault fault) const;

 private:
  struct Signer;
  std::string folder_;
  std::string ca_file_;
  std::unique_ptr<Signer> signer_;
};

}  // namespace valmeric::test
