#include "cli/code_list.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <string>

namespace valmeric::cli {

std::vector<int> ParseCodeList(std::string_view text, int max_code, std::string_view what) {
  std::vector<int> codes;
  if (text == "all") {
    for (int code = 1; code <= max_code; ++code) codes.push_back(code);
    return codes;
  }
  const auto bad = [&](std::string_view piece) {
    return std::invalid_argument(std::string(what) + "(\"" + std::string(piece) + "\")");
  };
  if (text.empty()) throw bad(text);
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string_view piece = text.substr(start, comma - start);
    int code = 0;
    const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), code);
    if (piece.empty() || error != std::errc() || end != piece.data() + piece.size() || code < 1 ||
        code > max_code) {
      throw bad(piece);
    }
    codes.push_back(code);
    start = comma + 1;
  }
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  return codes;
}

}  // namespace valmeric::cli
