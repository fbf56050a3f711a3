#include "engine/refresh_report.h"

#include <stdexcept>

#include "engine/csv_reader.h"
#include "engine/output_file_name.h"
#include "messages/user_messages.h"

namespace valmeric {
namespace {

// A first-pages list and one with the pairs' later pages differ by those
// pages' facilities alone: such lists are not compared.
bool ReadAllPages(PageScope pages) {
  return pages != PageScope::kFirstPages;
}

bool ReportDue(const RunOutcome& outcome, const RecordedRun& run) {
  return outcome.kind == Outcome::kCompleted && !run.previous_path.empty() && run.previous_pages &&
         ReadAllPages(*run.previous_pages) == ReadAllPages(run.pages);
}

void Write(RefreshReport& report, const RecordedRun& run) {
  const CsvTable old_run = CsvTable::Read(run.previous_path);
  const CsvTable new_run = CsvTable::Read(run.output_path);
  const KeptFile earlier = KeepExistingFile(report.path);
  if (earlier.refused) {
    report.failure = WithDetail(msg::kFileInUse, "(" + report.path + ")");
    return;
  }
  report.counts = WriteChangeReport(old_run, new_run, report.path);
}

}  // namespace

std::string RefreshReportPath(const std::string& output) {
  return WithStemSuffix(output, "_変更点");
}

std::optional<RefreshReport> WriteRefreshReport(const RunOutcome& outcome, const RecordedRun& run) {
  if (!ReportDue(outcome, run)) return std::nullopt;
  RefreshReport report;
  report.path = RefreshReportPath(run.output_path);
  try {
    Write(report, run);
  } catch (const std::runtime_error& failure) {  // a list that does not read, or an OutputError
    report.failure = failure.what();
  }
  return report;
}

}  // namespace valmeric
