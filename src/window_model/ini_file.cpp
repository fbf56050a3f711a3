#include "window_model/ini_file.h"

#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "window_model/replace_file.h"

namespace valmeric::window_model {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) {
      return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string WithoutLineBreaks(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c != '\r' && c != '\n') out.push_back(c);
  }
  return out;
}

// The name of a section header line, or nothing.
std::optional<std::string_view> SectionName(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
  const size_t close = trimmed.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(trimmed.substr(1, close - 1));
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

// A "key=value" line; comments and lines without '=' are none.
std::optional<KeyLine> ParseKeyLine(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  const size_t eq = trimmed.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return KeyLine{Trim(trimmed.substr(0, eq)), Trim(trimmed.substr(eq + 1))};
}

std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

bool IsHighSurrogate(char32_t c) {
  return c >= 0xD800 && c < 0xDC00;
}
bool IsLowSurrogate(char32_t c) {
  return c >= 0xDC00 && c < 0xE000;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
    return;
  }
  if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (c & 0x3F));
}

// UTF-16 code units to UTF-8. A surrogate without its partner keeps its own
// code point in three bytes, so that the text goes back to the same units.
std::string FromUtf16(std::string_view bytes, bool big_endian) {
  auto unit = [&](size_t i) -> char32_t {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    return big_endian ? (first << 8 | second) : (second << 8 | first);
  };
  std::string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (IsHighSurrogate(c) && i + 3 < bytes.size() && IsLowSurrogate(unit(i + 2))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    }
    AppendUtf8(text, c);
  }
  return text;
}

// The code point at text[i] and its length in bytes; a byte that begins no
// UTF-8 sequence stands for itself.
std::pair<char32_t, size_t> NextCodePoint(std::string_view text, size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (length == 1 || i + length > text.size()) return {lead, 1};
  char32_t c = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return {lead, 1};
    c = c << 6 | (next & 0x3F);
  }
  return {c, length};
}

std::string ToUtf16(std::string_view text, bool big_endian) {
  std::string bytes;
  auto put = [&](char32_t unit) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  };
  put(0xFEFF);
  for (size_t i = 0; i < text.size();) {
    const auto [c, length] = NextCodePoint(text, i);
    if (c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
    i += length;
  }
  return bytes;
}

}  // namespace

IniFile IniFile::Parse(std::string_view text) {
  IniFile file;
  std::string decoded;
  if (text.starts_with(kUtf8Mark)) {
    text.remove_prefix(kUtf8Mark.size());
    file.encoding_ = Encoding::kUtf8;
  } else if (text.starts_with(kUtf16LeMark) || text.starts_with(kUtf16BeMark)) {
    const bool big_endian = text.starts_with(kUtf16BeMark);
    file.encoding_ = big_endian ? Encoding::kUtf16Be : Encoding::kUtf16Le;
    text.remove_prefix(2);
    if (text.size() % 2 != 0) file.odd_byte_ = text.substr(text.size() - 1);
    decoded = FromUtf16(text, big_endian);
    text = decoded;
  }
  bool line_end_seen = false;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') continue;
    const bool crlf = c == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
    if (!line_end_seen) {
      file.line_end_ = crlf ? "\r\n" : std::string(1, c);
      line_end_seen = true;
    }
    file.lines_.emplace_back(text.substr(start, i - start));
    if (crlf) ++i;
    start = i + 1;
  }
  if (start < text.size()) file.lines_.emplace_back(text.substr(start));
  return file;
}

IniFile IniFile::Load(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(text.str());
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  bool in_section = false;
  bool section_seen = false;
  for (const std::string& line : lines_) {
    if (const auto name = SectionName(line)) {
      // Only the first section of a name counts, as with the profile functions.
      if (in_section) break;
      in_section = !section_seen && SameName(*name, section);
      section_seen = section_seen || in_section;
      continue;
    }
    if (!in_section) continue;
    const auto entry = ParseKeyLine(line);
    if (entry && SameName(entry->key, key)) return std::string(Unquoted(entry->value));
  }
  return std::string(fallback);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const std::string section_text = WithoutLineBreaks(Trim(section));
  const std::string key_text = WithoutLineBreaks(Trim(key));
  const std::string new_line = key_text + "=" + WithoutLineBreaks(value);

  std::optional<size_t> section_line;
  size_t insert_at = lines_.size();
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (const auto name = SectionName(lines_[i])) {
      if (section_line) {
        insert_at = i;
        break;
      }
      if (SameName(*name, section_text)) section_line = i;
      continue;
    }
    if (!section_line) continue;
    const auto entry = ParseKeyLine(lines_[i]);
    if (entry && SameName(entry->key, key_text)) {
      lines_[i] = new_line;
      return;
    }
  }
  if (!section_line) {
    lines_.push_back("[" + section_text + "]");
    lines_.push_back(new_line);
    return;
  }
  // After the section's last non-blank line, so a blank separator stays last.
  while (insert_at > *section_line + 1 && Trim(lines_[insert_at - 1]).empty()) --insert_at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert_at), new_line);
}

std::string IniFile::Text() const {
  std::string text;
  for (const std::string& line : lines_) text.append(line).append(line_end_);
  switch (encoding_) {
    case Encoding::kUtf8:
      return std::string(kUtf8Mark) + text;
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be:
      return ToUtf16(text, encoding_ == Encoding::kUtf16Be) + odd_byte_;
    case Encoding::kAnsi:
      break;
  }
  return text;
}

void IniFile::Save(const std::filesystem::path& path) const {
  ReplaceFileContents(path, Text());
}

}  // namespace valmeric::window_model
