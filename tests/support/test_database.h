#pragma once

#include <string>
#include <vector>

namespace valmeric::test {

struct CityRow {
  int prefecture;
  int city;
  std::string name;  // UTF-8
};

struct SubCategoryRow {
  int category;
  long long code;
  std::string name;  // UTF-8
};

// Creates a database file with the program's schema and the given rows, as
// the shipped file has it.
void CreateTestDatabase(const std::string& path, const std::vector<CityRow>& cities,
                        const std::vector<SubCategoryRow>& sub_categories);

// Runs one statement on the file from a separate connection.
void ExecuteOn(const std::string& path, const std::string& sql);

// Rows of a one-column query, as UTF-8 text.
std::vector<std::string> QueryColumn(const std::string& path, const std::string& sql);

// Runs sql on the database at path in write-ahead-log mode and stops as a
// killed program does: the changes are committed to path-wal and never
// copied into the file.
void LeaveInWal(const std::string& path, const std::string& sql);

// The bytes of a -wal file that another database (made at path, of the same
// tables, with other rows) left with committed changes in it.
std::string AnotherDatabasesWal(const std::string& path);

}  // namespace valmeric::test
