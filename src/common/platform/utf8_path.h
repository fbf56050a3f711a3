#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace valmeric {

// File names are UTF-8 inside the program. A std::filesystem::path made from
// a plain string reads it in the system's narrow code page, which on Windows
// is not UTF-8, so every path is made and spelled through these two.
inline std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// path made absolute against the working folder; path as it is when the
// system cannot say.
inline std::string AbsoluteUtf8Path(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(PathFromUtf8(path), error);
  return error ? path : Utf8FromPath(absolute);
}

// True when a and b name one file that exists (a hard link to it too); false
// when either is missing or the system cannot say.
inline bool SameExistingFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(PathFromUtf8(a), PathFromUtf8(b), error);
}

}  // namespace valmeric
