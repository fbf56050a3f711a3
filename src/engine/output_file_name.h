#pragma once

#include <string>

namespace valmeric {

// The chosen output path with ".csv" appended unless its extension already
// is ".csv" in any letter case: "list" -> "list.csv", "a.txt" -> "a.txt.csv".
std::string WithCsvExtension(const std::string& path);

// True when a run holds the file at path as its output (it keeps a lock on
// the file from its start to its end).
bool OutputHeldByAnotherRun(const std::string& path);

// Whether a new run may replace what is at path: nothing, or a file that
// can be removed and that no run writes. Changes nothing.
bool OutputCanBeReplaced(const std::string& path);

// Deletes the file at path before a run writes there. False when something is
// there and stays: a folder of that name, another run's output, or a file
// that cannot be removed.
bool DeleteExistingOutput(const std::string& path);

}  // namespace valmeric
