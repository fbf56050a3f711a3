#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/csv_reader.h"

namespace valmeric {

enum class ChangeKind { kNew, kChanged, kGone };

// One row of a change report: a facility and, when it changed, which of its
// columns did (bit i for column i of the collection CSV).
struct Change {
  ChangeKind kind = ChangeKind::kNew;
  const CsvRow* row = nullptr;  // the newer run's record; the older one's for kGone
  std::uint8_t changed_columns = 0;
};

struct ChangeCounts {
  size_t added = 0;
  size_t changed = 0;
  size_t gone = 0;
};

// Facilities keyed by code: those only in new_run in its order, then those in
// both whose fields differ in new_run's order, then those only in old_run in
// its order. Facilities that stayed the same are left out. The rows view the
// two tables, which must outlive the result.
std::vector<Change> CompareRuns(const CsvTable& old_run, const CsvTable& new_run);

// The report's header line (CP932): a kind column, the collection CSV's eight
// columns and a column naming what changed.
const std::string& ChangeReportHeaderLine();

// One report line (CP932) without its line end: the kind (新規, 変更 or 廃止),
// the eight fields and the titles of the changed columns joined by "・", each
// as AppendCsvField writes it (a field that starts like a formula gets its
// apostrophe, whichever way its run's file spelt it).
std::string FormatChangeLine(const Change& change);

// Writes the report of CompareRuns to path, in new_run's encoding. Throws
// OutputError (OutputInUseError when another run holds the file). A report
// file this call made is then removed; a file that was at path before is
// never removed (it is left as it was when it could not be opened).
ChangeCounts WriteChangeReport(const CsvTable& old_run, const CsvTable& new_run,
                               const std::string& path);

}  // namespace valmeric
