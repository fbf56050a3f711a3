#include "window_model/error_text.h"

#include <array>

namespace valmeric::window_model {
namespace {

// Full-width punctuation a Japanese message may end with.
constexpr std::array<std::string_view, 8> kWidePunctuation = {"。", "、", "．", "，",
                                                              "！", "？", "」", "）"};

bool EndsWithPunctuation(std::string_view text) {
  const unsigned char last = static_cast<unsigned char>(text.back());
  if (last < 0x80) {
    return (last >= '!' && last <= '/') || (last >= ':' && last <= '@') ||
           (last >= '[' && last <= '`') || (last >= '{' && last <= '~');
  }
  for (const std::string_view mark : kWidePunctuation) {
    if (text.size() >= mark.size() && text.substr(text.size() - mark.size()) == mark) return true;
  }
  return false;
}

}  // namespace

std::string ErrorDisplayText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && !EndsWithPunctuation(text)) text.push_back('.');
  return text;
}

}  // namespace valmeric::window_model
