#pragma once

#include <string>
#include <vector>

namespace valmeric::refdata {

// One municipality as the directory site numbers it: the prefecture (1-47)
// and the city number within it.
struct City {
  int prefecture = 0;
  int code = 0;
  std::string name;  // UTF-8
};

// One sub-category of a medical category (1-10), in the site's page order.
struct SubCategory {
  int category = 0;
  int code = 0;
  std::string name;  // UTF-8
};

// Splits a tab-separated file into rows of exactly `columns` fields. Blank
// lines are skipped; anything else malformed throws std::runtime_error naming
// the file and line.
std::vector<std::vector<std::string>> ReadTsv(const std::string& path, std::size_t columns);

// Parses a decimal integer that must fill the whole field; throws otherwise.
int ParseInt(const std::string& field, const std::string& where);

// cities.tsv: prefecture, city code, name; sorted by prefecture then code.
std::vector<City> LoadCities(const std::string& path);

// subcategories.tsv: category, code, name; page order, codes unique.
std::vector<SubCategory> LoadSubCategories(const std::string& path);

}  // namespace valmeric::refdata
