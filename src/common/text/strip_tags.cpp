#include "common/text/strip_tags.h"

namespace valmeric {

// Byte-wise scanning is safe on Shift_JIS: neither '<' nor '>' can be the
// second byte of a double-byte character.
std::string StripTags(std::string_view text) {
  if (text.find('<') == std::string_view::npos) return std::string(text);
  std::string result;
  result.reserve(text.size());
  size_t scan = 0;
  while (scan < text.size()) {
    const size_t open = text.find('<', scan);
    if (open == std::string_view::npos) break;
    const size_t close = text.find('>', open + 1);
    if (close == std::string_view::npos) break;
    result.append(text.substr(scan, open - scan));
    scan = close + 1;
  }
  if (scan < text.size()) result.append(text.substr(scan));
  return result;
}

std::string StripTags(std::string&& text) {
  if (text.find('<') == std::string::npos) return std::move(text);
  return StripTags(std::string_view(text));
}

}  // namespace valmeric
