#include "window_model/save_folder.h"

#include <system_error>

namespace valmeric::window_model {
namespace {

bool IsFolder(const std::filesystem::path& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

}  // namespace

std::filesystem::path SaveFolder::Initial() const {
  if (IsFolder(last_)) return last_;
  if (IsFolder(documents_)) return documents_;
  return {};
}

void SaveFolder::Chosen(const std::filesystem::path& file) {
  if (file.has_parent_path()) last_ = file.parent_path();
}

}  // namespace valmeric::window_model
