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

}  // namespace

void ProgressPrinter::Show(const RunNews& news, bool force) {
  if (news.plan) {
    maximum_ = news.plan->entries_total;
    start_ = news.plan->entries_done;
    started_ = std::chrono::steady_clock::now();
  }
  // Later pages lengthen the walk as their links are found.
  position_ = news.position + news.later_started;
  later_found_ = news.later_found;
  if (news.status_changed) status_ = SjisToUtf8(news.status);
  if (quiet_ || maximum_ == 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - last_print_ < kPrintInterval) return;
  last_print_ = now;
  std::string line;
  const int maximum = maximum_ + later_found_;
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
    out_ << "\r\033[K" << line << std::flush;
    line_open_ = true;
  } else {
    out_ << line << '\n' << std::flush;
  }
}

void ProgressPrinter::Finish() {
  if (line_open_) out_ << '\n' << std::flush;
  line_open_ = false;
}

}  // namespace valmeric::cli
