#include "cli/cli_owner.h"

#include <cstdio>

#include "common/text_encoding.h"

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

CliOwner::CliOwner(Database& db, Selection selection, std::ostream& progress, bool quiet,
                   bool terminal)
    : db_(db), selection_(std::move(selection)), progress_(progress), quiet_(quiet),
      terminal_(terminal) {}

void CliOwner::InitProgress(int maximum) {
  position_ = 0;
  maximum_ = maximum;
  started_ = std::chrono::steady_clock::now();
}

void CliOwner::StepProgress() {
  ++position_;
  Print(position_ == maximum_);
}

void CliOwner::ShowStatus(const std::string& sjis_text) {
  status_ = SjisToUtf8(sjis_text);
  Print(false);
}

void CliOwner::Print(bool force) {
  if (quiet_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - last_print_ < kPrintInterval) return;
  last_print_ = now;
  std::string line;
  line.append("[").append(std::to_string(position_)).append("/").append(std::to_string(maximum_));
  line.append("] ").append(status_);
  if (signals_) line.append("  ").append(std::to_string(signals_->records_written.load())).append(" written");
  if (position_ > 1) {
    const auto elapsed = now - started_;
    const auto per_entry = elapsed / (position_ - 1);
    const auto remaining = per_entry * (maximum_ - position_ + 1);
    line.append("  ETA ").append(
        FormatDuration(std::chrono::duration_cast<std::chrono::seconds>(remaining)));
  }
  if (terminal_) {
    progress_ << "\r\033[K" << line << std::flush;
    line_open_ = true;
  } else {
    progress_ << line << '\n' << std::flush;
  }
}

void CliOwner::FinishProgress() {
  if (line_open_) progress_ << '\n' << std::flush;
  line_open_ = false;
}

}  // namespace valmeric::cli
