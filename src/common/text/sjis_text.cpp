#include "common/text/sjis_text.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "common/platform/native_file.h"
#include "common/platform/utf8_path.h"
#include "messages/detail_text.h"

namespace valmeric {
namespace {

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool SameIgnoringAsciiCase(std::string_view text, size_t at, std::string_view pattern) {
  if (text.size() - at < pattern.size()) return false;
  for (size_t k = 0; k < pattern.size(); ++k) {
    if (AsciiUpper(text[at + k]) != AsciiUpper(pattern[k])) return false;
  }
  return true;
}

bool HasAsciiLetter(std::string_view text) {
  for (char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  }
  return false;
}

// Length of the character that starts at byte at.
size_t CharLength(std::string_view text, size_t at) {
  return (IsSjisLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) ? 2 : 1;
}

// The first position at or after pos where a character begins. A byte that
// cannot open a double-byte character ends whatever came before it, so the
// count of possible lead bytes between it and pos tells pos's place.
size_t CharStartAtOrAfter(std::string_view text, size_t pos) {
  size_t k = pos;
  while (k > 0 && IsSjisLeadByte(static_cast<unsigned char>(text[k - 1]))) --k;
  size_t at = k;
  while (at < pos) at += CharLength(text, at);
  return at;
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

std::string ReadWholeFile(const std::string& path) {
  // A folder opens as a stream on some systems, and its "size" is no size.
  std::error_code ignored;
  if (std::filesystem::is_directory(PathFromUtf8(path), ignored))
    throw std::runtime_error("cannot read " + path + ": it is a folder");
  std::unique_ptr<FILE, int (*)(FILE*)> file(OpenStdioFile(path, "rb"), &std::fclose);
  if (!file) throw std::runtime_error(Detail(detail::kCannotOpen, path));
  std::string content;
  // Sized up front where the size is known, so a large file is held once.
  if (std::fseek(file.get(), 0, SEEK_END) == 0) {
    const long size = std::ftell(file.get());
    if (size > 0) content.reserve(static_cast<size_t>(size));
    std::rewind(file.get());
  }
  char buffer[16384];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) content.append(buffer, n);
  if (std::ferror(file.get())) throw std::runtime_error(Detail(detail::kCannotRead, path));
  return content;
}

std::string_view TrimView(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(begin, end - begin);
}

std::string Trim(std::string_view text) {
  return std::string(TrimView(text));
}

std::string Trim(std::string&& text) {
  const std::string_view kept = TrimView(text);
  const size_t begin = static_cast<size_t>(kept.data() - text.data());
  text.erase(begin + kept.size());
  text.erase(0, begin);
  return std::move(text);
}

int Find(std::string_view text, std::string_view sub) {
  if (text.empty() || sub.empty()) return 0;
  // Jump from byte match to byte match, passing over those that start at a
  // trail byte.
  for (size_t next = text.find(sub); next != std::string_view::npos;) {
    const size_t at = CharStartAtOrAfter(text, next);
    if (at == next) return static_cast<int>(at) + 1;
    next = text.find(sub, at);
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

size_t WholeCharPrefixLength(std::string_view text, size_t max_bytes) {
  if (max_bytes >= text.size()) return text.size();
  return CharStartAtOrAfter(text, max_bytes) == max_bytes ? max_bytes : max_bytes - 1;
}

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement) {
  std::string result(text);
  ReplaceAllInPlace(result, pattern, replacement);
  return result;
}

void ReplaceAllInPlace(std::string& text, std::string_view pattern, std::string_view replacement) {
  if (pattern.empty() || text.empty()) return;
  const char first_upper = AsciiUpper(pattern[0]);
  const char first_lower =
      (first_upper >= 'A' && first_upper <= 'Z') ? first_upper + 32 : first_upper;
  const std::string_view view(text);
  // Where the first match may begin: a byte match, found quickly, or for
  // patterns with letters the first byte that may open one.
  const size_t candidate = HasAsciiLetter(pattern)
                               ? std::min(view.find(first_upper), view.find(first_lower))
                               : view.find(pattern);
  if (candidate == std::string_view::npos) return;
  std::string result;
  size_t copied = 0;  // text before this position is in result already
  size_t at = CharStartAtOrAfter(view, candidate);
  while (at < view.size()) {
    const char c = view[at];
    if ((c == first_upper || c == first_lower) && SameIgnoringAsciiCase(view, at, pattern)) {
      result.append(view.substr(copied, at - copied)).append(replacement);
      at += pattern.size();
      copied = at;
    } else {
      at += CharLength(view, at);
    }
  }
  if (copied == 0) return;
  result.append(view.substr(copied));
  text = std::move(result);
}

bool IsPlainDecimal(std::string_view text) {
  return !text.empty() && text.size() <= 18 &&
         text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool HasAt(std::string_view text, int from, std::string_view marker) {
  if (from < 1) return false;
  const size_t at = static_cast<size_t>(from) - 1;
  return at <= text.size() && text.size() - at >= marker.size() &&
         text.compare(at, marker.size(), marker) == 0;
}

}  // namespace valmeric
