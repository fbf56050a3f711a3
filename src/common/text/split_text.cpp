#include "common/text/split_text.h"

#include "common/text/sjis_text.h"

namespace valmeric {

void SplitText(std::string_view text, std::string_view delimiter,
               std::vector<std::string>& pieces) {
  if (text.empty()) return;
  if (delimiter.empty()) {
    pieces.emplace_back(text);
    return;
  }
  size_t p = 0;
  while (p < text.size()) {
    const std::string_view rest = text.substr(p);
    const int k = Find(rest, delimiter);
    if (k == 0) {
      pieces.emplace_back(rest);
      return;
    }
    if (k > 1) pieces.emplace_back(rest.substr(0, static_cast<size_t>(k) - 1));
    p += static_cast<size_t>(k) - 1 + delimiter.size();
  }
}

}  // namespace valmeric
