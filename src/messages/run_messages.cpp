#include "messages/run_messages.h"

#include "common/platform/utf8_path.h"
#include "messages/detail_text.h"

namespace valmeric {
namespace {

UserMessage Error(std::string_view text, std::string_view detail) {
  return {WithDetail(text, detail), msg::kErrorTitle, mb::kNotice};
}

// first and second, each on a line of its own.
std::string Lines(const std::string& first, const std::string& second) {
  return first.empty() ? second : WithDetail(first, second);
}

}  // namespace

std::string ConfigErrorText(const std::filesystem::path& database, DatabaseFileState state) {
  const char* problem = state == DatabaseFileState::kUnreadable     ? msg::kDatabaseFileUnreadable
                        : state == DatabaseFileState::kNotADatabase ? msg::kDatabaseFileNotADatabase
                                                                    : msg::kDatabaseFileMissing;
  return WithDetail(msg::kConfigError,
                    DatabaseFileDetail(AbsoluteUtf8Path(Utf8FromPath(database)), problem));
}

UserMessage StartRefusalMessage(const StartRefused& refusal) {
  switch (refusal.problem()) {
    case StartProblem::kDatabaseMissing:
      return {ConfigErrorText(PathFromUtf8(refusal.what()), DatabaseFileState::kMissing),
              msg::kConfigTitle, mb::kNotice};
    case StartProblem::kDatabaseBusy:
      return Error(msg::kDatabaseBusy, refusal.what());
    case StartProblem::kDatabaseUnusable:
      return Error(msg::kDatabaseUnusable, refusal.what());
    case StartProblem::kDatabaseWrite:
      return Error(msg::kDatabaseWrite, refusal.what());
    case StartProblem::kNoPlanRows:
      return Error(msg::kNoPlanRows, refusal.what());
    case StartProblem::kScratch:
      return Error(msg::kScratchWrite, refusal.what());
    case StartProblem::kNothingToResume:
      return Error(msg::kNothingToResume, refusal.what());
    case StartProblem::kNothingToRetry:
      return Error(msg::kNothingToRetry, refusal.what());
    case StartProblem::kNoMorePages:
      return Error(msg::kNoMorePages, refusal.what());
    case StartProblem::kOutputChanged:
      return Error(msg::kOutputChanged, refusal.what());
    case StartProblem::kPlanChanged:
      return Error(msg::kPlanChanged, refusal.what());
    case StartProblem::kRecordInvalid:
      return Error(msg::kRecordInvalid, refusal.what());
    case StartProblem::kOutputInUse:
      break;
  }
  return {msg::kFileInUse, msg::kErrorTitle, mb::kNotice};
}

UserMessage FailureMessage(const RunOutcome& outcome) {
  switch (outcome.failure) {
    case FailureKind::kOutput:
      return Error(msg::kOutputWrite, outcome.detail);
    case FailureKind::kDatabaseRead:
      return Error(msg::kDatabaseUnusable, outcome.detail);
    case FailureKind::kDatabaseWrite:
      return Error(msg::kDatabaseWrite, outcome.detail);
    case FailureKind::kScratch:
    case FailureKind::kNone:
      break;
  }
  return Error(msg::kScratchWrite, outcome.detail);
}

UserMessage UnreachableMessage(const RunOutcome& outcome) {
  if (!outcome.placeholder_host) return Error(msg::kUnreachable, outcome.detail);
  return Error(msg::kUnreachable, outcome.detail + "\n" + detail::kBuiltWithoutSiteHost);
}

std::string RunNotesText(const RunProgress& progress, bool later_pages_left) {
  std::string notes;
  const auto add = [&notes](const std::string& line) {
    if (!notes.empty()) notes += '\n';
    notes += line;
  };
  if (later_pages_left && progress.beyond_first_page > 0) {
    add(BeyondFirstPageText(progress.beyond_first_page, progress.beyond_pairs));
  }
  if (progress.unlisted > 0) add(UnlistedText(progress.unlisted, progress.unlisted_pairs));
  if (progress.pairs_capped > 0) add(PairsCappedText(progress.pairs_capped, kMostPagesOfAPair));
  if (progress.entries_skipped > 0) add(EntriesSkippedText(progress.entries_skipped));
  if (progress.counts_unreadable > 0) add(CountsUnreadableText(progress.counts_unreadable));
  if (progress.pairs_unaskable > 0) add(PairsUnaskableText(progress.pairs_unaskable));
  return notes;
}

std::string RefreshText(const std::optional<std::string>& kept,
                        const std::optional<RefreshReport>& report) {
  std::string text;
  if (kept) text = KeptPreviousText(Utf8FromPath(PathFromUtf8(*kept).filename()));
  if (!report) return text;
  if (!report->failure.empty())
    return Lines(text, WithDetail(msg::kRefreshReportFailed, report->failure));
  const ChangeCounts& counts = report->counts;
  const std::string name = Utf8FromPath(PathFromUtf8(report->path).filename());
  return Lines(text, RefreshReportText(static_cast<long long>(counts.added),
                                       static_cast<long long>(counts.changed),
                                       static_cast<long long>(counts.gone), name));
}

}  // namespace valmeric
