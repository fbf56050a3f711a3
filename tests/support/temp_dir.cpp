#include "support/temp_dir.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace valmeric::test {

// A folder of a random name that this call made (create_directory says
// whether it did), built on the standard library alone so that the Windows
// tests have it too.
TempDir::TempDir() {
  std::random_device random;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << "valmeric-test-" << std::hex << random() << random();
    if (std::filesystem::create_directory(base / name.str())) {
      path_ = base / name.str();
      return;
    }
  }
  throw std::runtime_error("no fresh temporary folder could be made");
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace valmeric::test
