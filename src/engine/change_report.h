#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/csv_reader.h"

namespace valmeric {

enum class ChangeKind { kNew, kChanged, kGone };

// One row of a change report: a facility and, when it changed, which of its
// columns did (bit i for column i of the collection CSV; never the code,
// which matched).
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

// The record of other that stands for row of self: the one with row's code;
// else, where a spreadsheet took codes for numbers and dropped their leading
// zeros, the one whose code is the same number ("0123" and "123"), when one of
// the two codes has no leading zero, each record is the only one of that
// number in its file and neither code is found as it is in the other file.
// nullptr when there is none.
const CsvRow* Counterpart(const CsvRow& row, const CsvTable& self, const CsvTable& other);

// The records of file whose code has no leading zero and matched a code of
// other that has them: the zeros file lost.
struct DroppedZeros {
  size_t count = 0;
  const CsvRow* first = nullptr;        // the first such record of file
  const CsvRow* first_other = nullptr;  // its counterpart in other
};
DroppedZeros FindDroppedZeros(const CsvTable& file, const CsvTable& other);

// Facilities keyed by code (see Counterpart): those only in new_run in its order, then those in
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
