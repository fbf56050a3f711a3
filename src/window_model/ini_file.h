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

  // Reads text in any mix of CR LF, CR and LF line ends, in the encodings
  // the profile functions read: UTF-16 after its byte order mark (either
  // byte order), and any other text byte for byte (the ANSI code page); a
  // UTF-8 byte order mark at the start is skipped. Never fails.
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

  // The file's text, in the encoding, with the line end (CR LF for a new
  // file) and the byte order mark, if any, of the text it was read from.
  std::string Text() const;

  // Writes Text() to a temporary file beside path and renames it into place,
  // so the file is never left half written. Throws std::runtime_error when
  // the folder is missing, the file is read-only, or a write fails.
  void Save(const std::filesystem::path& path) const;

 private:
  enum class Encoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be };

  std::vector<std::string> lines_;       // UTF-8 when the file is UTF-16
  std::string line_end_ = "\r\n";        // the profile format's own, for a new file
  Encoding encoding_ = Encoding::kAnsi;  // a mark, if any, is written back
  std::string odd_byte_;                 // a UTF-16 file's last byte without its pair
};

}  // namespace valmeric::window_model
