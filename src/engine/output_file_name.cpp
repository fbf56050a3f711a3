#include "engine/output_file_name.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "common/platform/native_file.h"
#include "common/platform/utf8_path.h"

namespace valmeric {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

bool HasExtension(const std::string& path, std::string_view extension) {
  // '/' everywhere, and the system's own separator where it differs.
  const char separators[] = {'/', static_cast<char>(std::filesystem::path::preferred_separator),
                             '\0'};
  const size_t slash = path.find_last_of(separators);
  const size_t dot = path.find_last_of('.');
  const bool has_extension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return has_extension && EqualsNoCase(std::string_view(path).substr(dot), extension);
}

std::string WithExtension(const std::string& path, std::string_view extension) {
  return HasExtension(path, extension) ? path : path + std::string(extension);
}

std::string WithCsvExtension(const std::string& path) {
  return WithExtension(path, ".csv");
}

bool OutputHeldByAnotherRun(const std::string& path) {
  NativeFile probe;
  if (!probe.Open(path, NativeFile::Mode::kProbe)) return false;
  return probe.TryLock() ==
         NativeFile::LockResult::kHeldElsewhere;  // closing drops the probe's own lock
}

bool OutputCanBeReplaced(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const auto status = fs::symlink_status(PathFromUtf8(path), error);
  if (error || !fs::exists(status)) return true;
  if (fs::is_directory(status)) return false;
  if (fs::is_regular_file(status) && OutputHeldByAnotherRun(path)) return false;
  return FileCanBeRemoved(path);
}

std::string WithStemSuffix(const std::string& path, const std::string& suffix) {
  const std::filesystem::path file = PathFromUtf8(path);
  const std::string name = Utf8FromPath(file.stem()) + suffix + Utf8FromPath(file.extension());
  return Utf8FromPath(file.parent_path() / PathFromUtf8(name));
}

std::string DatedName(const std::string& path, const std::string& day, int n) {
  return WithStemSuffix(path, "_" + day + (n > 1 ? "(" + std::to_string(n) + ")" : ""));
}

std::optional<std::string> FreeDatedName(const std::string& path) {
  const std::optional<std::string> day = ModifiedDayOfFile(path);
  if (!day) return std::nullopt;
  for (int n = 1; n < 10000; ++n) {
    std::string name = DatedName(path, *day, n);
    std::error_code error;
    const auto status = std::filesystem::symlink_status(PathFromUtf8(name), error);
    if (!std::filesystem::exists(status) && status.type() != std::filesystem::file_type::unknown)
      return name;
  }
  return std::nullopt;
}

bool MoveExistingOutput(const std::string& path, const std::string& kept) {
  namespace fs = std::filesystem;
  if (!OutputCanBeReplaced(path)) return false;
  std::error_code error;
  if (!fs::exists(fs::symlink_status(PathFromUtf8(path), error))) return true;
  return RenameWithoutReplacing(path, kept) == RenameResult::kRenamed;
}

KeptFile KeepExistingFile(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::exists(fs::symlink_status(PathFromUtf8(path), error))) return {};
  const std::optional<std::string> kept = FreeDatedName(path);
  if (!kept || !MoveExistingOutput(path, *kept)) return {true, {}};
  return {false, *kept};
}

}  // namespace valmeric
