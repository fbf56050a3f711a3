#pragma once

// Checks made before a recorded run is taken up again. The journal and the
// CSV may have been changed by hand or by another program since the run
// stopped; the run goes on only when both still tell the moment it recorded.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/csv_writer.h"
#include "refdb/run_journal.h"

namespace valmeric {

// What a run's file holds before its first record: the byte-order mark of a
// UTF-8 file, the header and its line end.
std::string CommittedHeader(CsvEncoding encoding);

// The recorded indexes of a run, read with its row.
struct RecordedIndexes {
  std::vector<int> not_fetched;        // plan entries recorded as not fetched
  std::vector<int> beyond_first_page;  // pairs recorded with more facilities
};

// Why the recorded values cannot be a run's (a count out of its range, an
// index outside the plan or past the entries done), in Japanese; none when
// every value is in range.
std::optional<std::string> RecordProblem(const JournalRun& run, const RecordedIndexes& indexes);

// Why the recorded run's CSV is no longer the one it committed (gone, shorter,
// another header, other bytes, another record count), in Japanese; none when
// its first csv_bytes bytes are exactly what the run committed.
std::optional<std::string> OutputProblem(const JournalRun& run, CsvEncoding encoding);

}  // namespace valmeric
