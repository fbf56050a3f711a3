#include "support/temp_dir.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "common/platform/utf8_path.h"

namespace valmeric::test {

TempDir::TempDir() {
  std::random_device seed;
  std::mt19937 draw(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto candidate =
        std::filesystem::temp_directory_path() / ("valmeric-test-" + std::to_string(draw()));
    // create_directory is false when the name is taken: then another is drawn.
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace valmeric::test
