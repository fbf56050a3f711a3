#include "cli/progress_printer.h"

#include <cstdio>

#include "common/text/text_encoding.h"
#include "messages/cli_messages.h"

namespace valmeric::cli {
namespace {

constexpr auto kPrintInterval = std::chrono::milliseconds(250);

std::string FormatDuration(std::chrono::seconds total) {
  const long long s = total.count();
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
  }
  return text;
}

// The code point at utf8[at] and its length in bytes; a byte that starts no
// sequence counts as one character of one byte.
char32_t CodePointAt(std::string_view utf8, size_t at, size_t& length) {
  const auto byte = static_cast<unsigned char>(utf8[at]);
  length = byte < 0xC0 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
  if (at + length > utf8.size()) length = 1;
  if (length == 1) return byte;
  char32_t code = byte & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) code = (code << 6) | (utf8[at + i] & 0x3F);
  return code;
}

// Columns a character takes: two for the East Asian wide and full-width
// ranges (kana, kanji, hangul, full-width forms, the ideographic space).
int ColumnsOf(char32_t c) {
  const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
                    (c >= 0x3041 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                    (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
                    (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) ||
                    (c >= 0x1F300 && c <= 0x1F64F) || (c >= 0x1F900 && c <= 0x1F9FF) ||
                    (c >= 0x20000 && c <= 0x3FFFD);
  return wide ? 2 : 1;
}

}  // namespace

std::string CutToColumns(std::string_view utf8, int columns) {
  int used = 0;
  size_t at = 0;
  while (at < utf8.size()) {
    size_t length = 1;
    used += ColumnsOf(CodePointAt(utf8, at, length));
    if (used > columns) break;
    at += length;
  }
  return std::string(utf8.substr(0, at));
}

void ProgressPrinter::Show(const RunNews& news, bool force) {
  if (news.plan) {
    maximum_ = news.plan->entries_total;
    start_ = news.plan->entries_done;
    started_ = std::chrono::steady_clock::now();
  }
  // Later pages lengthen the walk as their links are found.
  position_ = news.position + news.later_started;
  if (news.status_changed) status_ = SjisToUtf8(news.status);
  if (quiet_ || maximum_ == 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (terminal_ && !force && now - last_print_ < kPrintInterval) return;
  last_print_ = now;
  std::string line;
  const int maximum = maximum_ + news.later_found;
  line.append("[").append(std::to_string(position_)).append("/").append(std::to_string(maximum));
  line.append("] ").append(status_);
  line.append("  ").append(ProgressWritten(news.written));
  if (position_ - start_ > 1) {
    const auto per_entry = (now - started_) / (position_ - start_ - 1);
    const auto remaining = per_entry * (maximum - position_ + 1);
    line.append("  ").append(ProgressRemaining(
        FormatDuration(std::chrono::duration_cast<std::chrono::seconds>(remaining))));
  }
  if (terminal_) {
    // One column short of the width: a line that fills it wraps on some terminals.
    if (columns_ > 1) line = CutToColumns(line, columns_ - 1);
    out_ << "\r\033[K" << line << std::flush;
    line_open_ = true;
  } else {
    // An entry's line goes once, as it stood last: when the next entry
    // starts, or at Finish.
    if (position_ != pending_position_) FlushPending();
    pending_ = line;
    pending_position_ = position_;
  }
}

void ProgressPrinter::FlushPending() {
  if (!pending_.empty()) out_ << pending_ << '\n' << std::flush;
  pending_.clear();
}

void ProgressPrinter::Finish() {
  FlushPending();
  if (line_open_) out_ << '\n' << std::flush;
  line_open_ = false;
}

}  // namespace valmeric::cli
