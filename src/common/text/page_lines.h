#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace valmeric {

// The lines of a downloaded page, held as the page's one text and the start
// of each line in it, so a page of many short lines costs a few bytes a line,
// never a string each. The text ends at its first zero byte and is split at
// CR LF, a lone CR or a lone LF.
//
// Lines that hold nothing but white space are kept up to kBlankRunKept in a
// row; the rest of a longer run is left out. Readers look a few lines ahead
// at most, so they see such a run as they would the whole of it, while a page
// of millions of empty lines costs no more than its text.
class PageLines {
 public:
  static constexpr std::size_t kBlankRunKept = 32;

  // Asked now and then while a page is split; true ends the splitting at
  // once, and the lines found so far are all the page holds. A run's cancel,
  // so that a page of millions of lines does not keep it waiting.
  using StopRequest = std::function<bool()>;

  PageLines() = default;
  explicit PageLines(std::string text, const StopRequest& stop = {});
  // The page in the file at path. Throws std::runtime_error when the file
  // cannot be opened or read, or is a folder.
  static PageLines Load(const std::string& path, const StopRequest& stop = {});

  std::size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.empty(); }
  // Line i, without its line break.
  std::string_view operator[](std::size_t i) const;
  // Line i's 1-based number in the page, the lines left out counted.
  std::size_t Number(std::size_t i) const;
  // The page's text, up to its first zero byte.
  std::string_view text() const { return text_; }

 private:
  void Split(const StopRequest& stop);

  std::string text_;
  std::vector<std::uint32_t> starts_;
  // Where lines were left out: (the index of the first line kept after a
  // run, lines left out before it in all), in order.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> left_out_;
};

}  // namespace valmeric
