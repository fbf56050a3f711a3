#include "common/text/page_lines.h"

#include <algorithm>
#include <limits>

#include "common/text/sjis_text.h"

namespace valmeric {
namespace {

bool IsBreak(char c) {
  return c == '\r' || c == '\n';
}

// Lines split between two looks at the stop request: a few milliseconds of
// splitting at most.
constexpr std::size_t kLinesBetweenStopChecks = 1 << 16;

}  // namespace

PageLines::PageLines(std::string text, const StopRequest& stop) : text_(std::move(text)) {
  const size_t zero = text_.find('\0');
  if (zero != std::string::npos) text_.resize(zero);
  // Line starts are 32-bit: far beyond any page a download lets through.
  if (text_.size() >= std::numeric_limits<std::uint32_t>::max())
    text_.resize(std::numeric_limits<std::uint32_t>::max() - 1);
  Split(stop);
}

PageLines PageLines::Load(const std::string& path, const StopRequest& stop) {
  return PageLines(ReadWholeFile(path), stop);
}

void PageLines::Split(const StopRequest& stop) {
  std::size_t blank_run = 0;
  std::uint32_t left_out = 0;
  std::size_t start = 0;
  for (std::size_t line = 1; start < text_.size(); ++line) {
    if (stop && line % kLinesBetweenStopChecks == 0 && stop()) break;
    std::size_t end = start;
    bool blank = true;
    while (end < text_.size() && !IsBreak(text_[end])) {
      blank = blank && static_cast<unsigned char>(text_[end]) <= 32;
      ++end;
    }
    blank_run = blank ? blank_run + 1 : 0;
    if (blank_run > kBlankRunKept) {
      ++left_out;
    } else {
      if (left_out > 0 && (left_out_.empty() || left_out_.back().second != left_out))
        left_out_.emplace_back(static_cast<std::uint32_t>(starts_.size()), left_out);
      starts_.push_back(static_cast<std::uint32_t>(start));
    }
    if (end == text_.size()) break;
    end += (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n') ? 2 : 1;
    start = end;
  }
}

std::string_view PageLines::operator[](std::size_t i) const {
  const std::string_view rest = std::string_view(text_).substr(starts_[i]);
  return rest.substr(0, rest.find_first_of("\r\n"));
}

std::size_t PageLines::Number(std::size_t i) const {
  const auto after =
      std::upper_bound(left_out_.begin(), left_out_.end(), i,
                       [](std::size_t index, const auto& entry) { return index < entry.first; });
  const std::size_t before = after == left_out_.begin() ? 0 : std::prev(after)->second;
  return i + before + 1;
}

}  // namespace valmeric
