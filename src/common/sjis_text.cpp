#include "common/sjis_text.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace valmeric {
namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool SameIgnoringAsciiCase(std::string_view text, size_t at, std::string_view pattern) {
  if (text.size() - at < pattern.size()) return false;
  for (size_t k = 0; k < pattern.size(); ++k) {
    if (AsciiUpper(text[at + k]) != AsciiUpper(pattern[k])) return false;
  }
  return true;
}

// Length of the character that starts at byte at.
size_t CharLength(std::string_view text, size_t at) {
  return (IsSjisLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) ? 2 : 1;
}

}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
  const size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  std::vector<std::string> lines;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::vector<std::string> LoadLines(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) throw std::runtime_error("cannot open " + path);
  std::string content;
  char buffer[16384];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) content.append(buffer, n);
  if (std::ferror(file.get())) throw std::runtime_error("cannot read " + path);
  return SplitLines(content);
}

std::string Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return std::string(text.substr(begin, end - begin));
}

int Find(std::string_view text, std::string_view sub) {
  if (text.empty() || sub.empty()) return 0;
  for (size_t at = 0; at + sub.size() <= text.size(); at += CharLength(text, at)) {
    if (text.compare(at, sub.size(), sub) == 0) return static_cast<int>(at) + 1;
  }
  return 0;
}

int FindBytes(std::string_view text, std::string_view sub) {
  if (text.empty() || sub.empty()) return 0;
  const size_t at = text.find(sub);
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

std::string Cut(std::string_view text, int index, int count) {
  if (index < 1) index = 1;
  if (count <= 0 || static_cast<size_t>(index) > text.size()) return {};
  return std::string(text.substr(static_cast<size_t>(index) - 1, static_cast<size_t>(count)));
}

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement) {
  if (pattern.empty()) return std::string(text);
  std::string result;
  result.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    if (SameIgnoringAsciiCase(text, at, pattern)) {
      result.append(replacement);
      at += pattern.size();
    } else {
      const size_t n = CharLength(text, at);
      result.append(text.substr(at, n));
      at += n;
    }
  }
  return result;
}

bool HasAt(std::string_view text, int from, std::string_view marker) {
  if (from < 1) return false;
  const size_t at = static_cast<size_t>(from) - 1;
  return at <= text.size() && text.size() - at >= marker.size() &&
         text.compare(at, marker.size(), marker) == 0;
}

}  // namespace valmeric
