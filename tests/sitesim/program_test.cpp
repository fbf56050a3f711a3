// The simulator as a program: start-up output, port file, HTTPS, and a clean
// stop on a signal.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "running_site.h"

namespace valmeric::sitesim::testing {
namespace {

namespace fs = std::filesystem;

class TempDir final {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "sitesim-prog-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A throw-away self-signed certificate for 127.0.0.1.
void WriteCertificate(const std::string& cert_path, const std::string& key_path) {
  EVP_PKEY* key = EVP_RSA_gen(2048);
  ASSERT_NE(key, nullptr);
  X509* cert = X509_new();
  ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert), 0);
  X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
  X509_set_pubkey(cert, key);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(cert, name);
  ASSERT_GT(X509_sign(cert, key, EVP_sha256()), 0);
  FILE* f = std::fopen(cert_path.c_str(), "wb");
  PEM_write_X509(f, cert);
  std::fclose(f);
  f = std::fopen(key_path.c_str(), "wb");
  PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr);
  std::fclose(f);
  X509_free(cert);
  EVP_PKEY_free(key);
}

TEST(Https, ServesTheSamePagesAsHttp) {
  TempDir dir;
  WriteCertificate(dir / "cert.pem", dir / "key.pem");
  ListenOptions listen;
  listen.tls_port = 0;
  listen.cert_file = dir / "cert.pem";
  listen.key_file = dir / "key.pem";
  RunningSite site({}, kDefaultSeed, listen);
  ASSERT_GT(site.https_port(), 0);
  httplib::SSLClient client("127.0.0.1", site.https_port());
  client.enable_server_certificate_verification(false);
  const std::string path = "/doko/kekka.php/13101110/";
  auto secure = client.Get(path);
  ASSERT_TRUE(secure) << httplib::to_string(secure.error());
  EXPECT_EQ(secure->status, 200);
  EXPECT_EQ(secure->body, site.Get(path)->body);
}

TEST(Https, MissingCertificateIsAnError) {
  ListenOptions listen;
  listen.tls_port = 0;
  listen.cert_file = "/nonexistent/cert.pem";
  listen.key_file = "/nonexistent/key.pem";
  EXPECT_THROW(RunningSite({}, kDefaultSeed, listen), std::runtime_error);
}

class Program : public ::testing::TestWithParam<int> {};

TEST_P(Program, ReportsItsPortAndStopsCleanlyOnSignal) {
  TempDir dir;
  const std::string port_file = dir / "ports";
  const std::string out_file = dir / "stdout";
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::freopen(out_file.c_str(), "w", stdout);
    execl(VALMERIC_SITESIM_EXE, VALMERIC_SITESIM_EXE, "--port", "0", "--port-file",
          port_file.c_str(), "--data", VALMERIC_TEST_DATA_DIR, static_cast<char*>(nullptr));
    _exit(127);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!fs::exists(port_file) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(fs::exists(port_file)) << "no port file";
  const std::string ports = ReadFile(port_file);
  ASSERT_TRUE(ports.starts_with("http=")) << ports;
  const int port = std::stoi(ports.substr(5));
  EXPECT_EQ(ports, "http=" + std::to_string(port) + "\n");

  httplib::Client client("127.0.0.1", port);
  auto health = client.Get("/_sim/health");
  ASSERT_TRUE(health);
  EXPECT_EQ(health->body, "ok\n");
  auto page = client.Get("/doko/city.php?pref_no=13");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);

  ASSERT_EQ(kill(pid, GetParam()), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFile(out_file), "http://127.0.0.1:" + std::to_string(port) + "/\n");
}

INSTANTIATE_TEST_SUITE_P(Signals, Program, ::testing::Values(SIGTERM, SIGINT));

}  // namespace
}  // namespace valmeric::sitesim::testing
