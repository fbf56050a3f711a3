#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>

#include "common/network/site_address.h"
#include "engine/csv_reader.h"
#include "engine/run_outcome.h"
#include "engine/run_session.h"

namespace valmeric {

// The workbook could not be written. what(): a Japanese sentence and the
// detail on a line of its own (UTF-8).
class WorkbookError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The workbook's name is the CSV's own: nothing is written.
class WorkbookIsTheCsvError : public WorkbookError {
 public:
  using WorkbookError::WorkbookError;
};

// What the second sheet tells of the list: the CSV file, and the run that
// wrote it when the database still records that run.
struct WorkbookFacts {
  std::string csv_name;  // the file's name, UTF-8
  std::string csv_time;  // its last modification, local time: "2026-12-10 08:52"
  std::string site;      // the site's host, or the origin a run was pointed at
  std::optional<RecordedRun> run;
};

struct WorkbookSummary {
  size_t records = 0;
  size_t links = 0;  // detail addresses written as links
};

// Spreadsheet programs hold at most this many links on a sheet; the rest of
// the detail addresses are written as text.
inline constexpr size_t kMostLinksOnASheet = 65530;

// "病院施設一覧.csv" -> "病院施設一覧.xlsx": the CSV's name with its extension
// replaced (or, without one, added).
std::string WorkbookPathFor(const std::string& csv_path);

// The site as the facts name it: the origin a run was pointed at, or the
// host the program was built for.
std::string SiteShown(const SiteOrigin& origin);

// The facts of the CSV at csv_path; recorded is the run the database
// records, taken only when its output is that very file.
WorkbookFacts FactsOf(const std::string& csv_path, const std::optional<RecordedRun>& recorded,
                      std::string site);

// Writes table as a workbook at path: the list on its first sheet (text
// cells, the title row bold, frozen and filtered, the detail addresses as
// links, the columns fitted), the facts on the second. The workbook is made
// beside path under another name and renamed into place at the end, so a
// workbook already there stays whole until the new one is. The table is
// let go before the workbook is closed. Throws WorkbookError.
WorkbookSummary WriteWorkbook(CsvTable table, const std::string& path, const WorkbookFacts& facts);

// Reads the CSV at csv_path and writes its workbook at xlsx_path. Throws
// CsvFormatError for a file that is not the collector's CSV,
// std::runtime_error when it cannot be read, WorkbookIsTheCsvError when
// xlsx_path names the CSV itself, WorkbookError.
WorkbookSummary ExportWorkbook(const std::string& csv_path, const std::string& xlsx_path,
                               const WorkbookFacts& facts);

// The workbook a run made of its CSV, or why it could not.
struct RunWorkbook {
  std::string path;     // absolute
  std::string failure;  // UTF-8; empty when it was written
};

// After a run that ended having written facilities (finished, or finished
// with pages missing): the workbook of its CSV, beside it under the same
// name. run is the run as its session recorded it. None for any other end.
// A failure changes nothing else about the run.
std::optional<RunWorkbook> WriteRunWorkbook(const RunOutcome& outcome, const RecordedRun& run,
                                            std::string site);

}  // namespace valmeric
