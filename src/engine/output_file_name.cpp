#include "engine/output_file_name.h"

#include <strings.h>

#include <filesystem>

namespace valmeric {

std::string WithCsvExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  if (has_extension && strcasecmp(path.c_str() + dot, ".csv") == 0) return path;
  return path + ".csv";
}

bool DeleteExistingOutput(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const auto status = fs::symlink_status(path, error);
  if (error || !fs::exists(status)) return true;
  if (fs::is_directory(status)) return false;
  return fs::remove(path, error) && !error;
}

}  // namespace valmeric
