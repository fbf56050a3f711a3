#pragma once

// A small INI file in the shape the Windows profile functions read and write:
// "[Section]" lines and "Key=Value" lines, names compared without regard to
// ASCII letter case, blanks around names and values ignored, lines starting
// with ';' kept as comments. Lines this reader does not understand are kept
// untouched when the file is written back.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace valmeric::window_model {

class IniFile final {
 public:
  IniFile() = default;

  // Reads text in any mix of CR LF, CR and LF line ends; a UTF-8 byte order
  // mark at the start is skipped. Never fails.
  static IniFile Parse(std::string_view text);
  // Reads path; a missing or unreadable file gives the empty file.
  static IniFile Load(const std::filesystem::path& path);

  // The first value of key in the first section of that name, or fallback.
  // A value in matching double or single quotes loses its quotes.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // Replaces the key's first value, or adds the key at the end of its
  // section, or adds the section at the end of the file. Line breaks in
  // names and values are not allowed; they are dropped.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

  // The file's text, with the line end (LF for a new file) and the byte order
  // mark, if any, of the text it was read from.
  std::string Text() const;

  // Writes Text() to a temporary file beside path and renames it into place,
  // so the file is never left half written. Throws std::runtime_error when
  // the folder is missing, the file is read-only, or a write fails.
  void Save(const std::filesystem::path& path) const;

 private:
  std::vector<std::string> lines_;
  std::string line_end_ = "\r\n";  // the profile format's own, for a new file
  bool byte_order_mark_ = false;   // the text began with one; it is written back
};

}  // namespace valmeric::window_model
