#include "common/network/site_lists.h"

#include <string_view>

#include "common/text/text_encoding.h"

namespace valmeric {
namespace {

template <size_t N>
std::vector<std::string> ToSjis(const std::array<std::string_view, N>& names) {
  std::vector<std::string> out;
  out.reserve(N);
  for (std::string_view name : names) out.push_back(Utf8ToSjis(name));
  return out;
}

}  // namespace

const std::vector<std::string>& CategoryNames() {
  static const std::vector<std::string> names = ToSjis(kCategoryNamesUtf8);
  return names;
}

const std::vector<std::string>& PrefectureNames() {
  static const std::vector<std::string> names = ToSjis(kPrefectureNamesUtf8);
  return names;
}

std::string NamedCodes(const std::vector<int>& codes, std::span<const std::string_view> names,
                       std::string_view separator) {
  std::string text;
  for (const int code : codes) {
    if (!text.empty()) text += separator;
    text += std::to_string(code);
    if (code >= 1 && static_cast<size_t>(code) <= names.size()) {
      text += ' ';
      text += names[static_cast<size_t>(code) - 1];
    }
  }
  return text;
}

}  // namespace valmeric
