#include "support/test_certificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace valmeric::test {
namespace {

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
  void operator()(X509* cert) const { X509_free(cert); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Cert = std::unique_ptr<X509, CertFree>;

void Require(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test certificate: ") + what);
}

// The certificates of a test's authorities and servers; each an EC key, quick to make.
Key NewKey() {
  Key key(EVP_EC_gen("P-256"));
  Require(key != nullptr, "EVP_EC_gen");
  return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  Require(extension != nullptr && X509_add_ext(cert, extension, -1) == 1, "extension");
  X509_EXTENSION_free(extension);
}

struct Subject {
  const char* common_name;
  const char* alt_name;  // subjectAltName; nullptr for an authority
  long from_s;           // validity, in seconds from now
  long until_s;
};

// A certificate for key and subject, signed by issuer_key as issuer (itself when null).
Cert MakeCertificate(EVP_PKEY* key, const Subject& subject, X509* issuer, EVP_PKEY* issuer_key) {
  static long serial = 1;
  Cert cert(X509_new());
  Require(cert != nullptr, "X509_new");
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), subject.from_s);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), subject.until_s);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(subject.common_name), -1, -1,
                             0);
  X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(issuer) : name);
  X509_set_pubkey(cert.get(), key);
  X509* signer = issuer ? issuer : cert.get();
  if (subject.alt_name == nullptr) {
    AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(cert.get(), signer, NID_basic_constraints, "CA:FALSE");
    AddExtension(cert.get(), signer, NID_subject_alt_name, subject.alt_name);
  }
  Require(X509_sign(cert.get(), issuer_key ? issuer_key : key, EVP_sha256()) > 0, "X509_sign");
  return cert;
}

void WritePem(const std::string& path, X509* cert, EVP_PKEY* key) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  Require(file != nullptr, "cannot create a PEM file");
  const bool ok = key ? PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1
                      : PEM_write_X509(file, cert) == 1;
  Require(std::fclose(file) == 0 && ok, "cannot write a PEM file");
}

constexpr long kDay = 24 * 60 * 60;

}  // namespace

// An authority's key and certificate.
struct TestAuthority::Signer {
  explicit Signer(const char* name)
      : key(NewKey()),
        cert(MakeCertificate(key.get(), {name, nullptr, -kDay, 30 * kDay}, nullptr, nullptr)) {}
  Key key;
  Cert cert;
};

TestAuthority::TestAuthority(std::string folder)
    : folder_(std::move(folder)),
      ca_file_(folder_ + "/authority.pem"),
      signer_(std::make_unique<Signer>("Valmeric test authority")) {
  WritePem(ca_file_, signer_->cert.get(), nullptr);
}

TestAuthority::~TestAuthority() = default;

TestCertificate TestAuthority::Issue(Fault fault) const {
  static const char* const kNames[] = {"good", "expired", "wrong-name", "unknown-issuer"};
  const char* name = kNames[static_cast<int>(fault)];
  Subject subject{"127.0.0.1", "IP:127.0.0.1", -kDay, 2 * kDay};
  if (fault == Fault::kExpired) {
    subject.from_s = -3 * kDay;
    subject.until_s = -kDay;
  } else if (fault == Fault::kWrongName) {
    subject = {"other.example", "DNS:other.example", -kDay, 2 * kDay};
  }
  const Signer stranger("An authority nobody trusts");
  const Signer& issuer = fault == Fault::kUnknownIssuer ? stranger : *signer_;
  const Key key = NewKey();
  const Cert cert = MakeCertificate(key.get(), subject, issuer.cert.get(), issuer.key.get());
  TestCertificate files{folder_ + "/" + name + "-cert.pem", folder_ + "/" + name + "-key.pem"};
  WritePem(files.cert_file, cert.get(), nullptr);
  WritePem(files.key_file, nullptr, key.get());
  return files;
}

}  // namespace valmeric::test
