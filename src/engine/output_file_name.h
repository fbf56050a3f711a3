#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace valmeric {

// The chosen output path with ".csv" appended unless its extension already
// is ".csv" in any letter case: "list" -> "list.csv", "a.txt" -> "a.txt.csv".
std::string WithCsvExtension(const std::string& path);
// Whether path's extension (after its last dot, in its last name) is
// extension (with its dot) in any letter case.
bool HasExtension(const std::string& path, std::string_view extension);
// The same for any extension (with its dot): ("list", ".xlsx") -> "list.xlsx".
std::string WithExtension(const std::string& path, std::string_view extension);

// True when a run holds the file at path as its output (it keeps a lock on
// the file from its start to its end).
bool OutputHeldByAnotherRun(const std::string& path);

// Whether a new run may replace what is at path: nothing, or a file that
// can be removed and that no run writes. Changes nothing.
bool OutputCanBeReplaced(const std::string& path);

// A name beside path, its stem followed by suffix:
// ("病院施設一覧.csv", "_変更点") -> "病院施設一覧_変更点.csv".
std::string WithStemSuffix(const std::string& path, const std::string& suffix);

// The name a file at path is kept under, in its folder: its stem, "_", the
// day ("YYYYMMDD") and, from the second of a day on, "(n)", then its
// extension: "病院施設一覧.csv" -> "病院施設一覧_20261109.csv", then
// "病院施設一覧_20261109(2).csv".
std::string DatedName(const std::string& path, const std::string& day, int n = 1);

// The first dated name, after the day the file at path was last modified,
// that no file bears yet; none when the file cannot be asked.
std::optional<std::string> FreeDatedName(const std::string& path);

// Moves the file at path aside to kept (a free name in its folder) before a
// run writes at path; with nothing at path there is nothing to move. False
// when something is there and stays: a folder of that name, another run's
// output, a file that cannot be renamed, or kept taken meanwhile. Nothing is
// ever deleted.
bool MoveExistingOutput(const std::string& path, const std::string& kept);

// Where the file at path went when it was moved aside: empty when there was none.
struct KeptFile {
  bool refused = false;  // something is there and stays
  std::string path;
};
// FreeDatedName and MoveExistingOutput in one.
KeptFile KeepExistingFile(const std::string& path);

}  // namespace valmeric
