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

}  // namespace valmeric::test
