#include "reference_data.h"

#include <charconv>
#include <fstream>
#include <set>
#include <stdexcept>
#include <utility>

namespace valmeric::refdata {

std::vector<std::vector<std::string>> ReadTsv(const std::string& path, std::size_t columns) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  int line_no = 0;
  while (std::getline(in, line)) {
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
      std::size_t tab = line.find('\t', start);
      fields.push_back(line.substr(start, tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (fields.size() != columns) {
      throw std::runtime_error(path + ":" + std::to_string(line_no) + ": expected " +
                               std::to_string(columns) + " fields, found " +
                               std::to_string(fields.size()));
    }
    rows.push_back(std::move(fields));
  }
  return rows;
}

int ParseInt(const std::string& field, const std::string& where) {
  int value = 0;
  const char* first = field.data();
  const char* last = first + field.size();
  auto [ptr, ec] = std::from_chars(first, last, value);
  if (field.empty() || ec != std::errc() || ptr != last) {
    throw std::runtime_error(where + ": not a number: '" + field + "'");
  }
  return value;
}

namespace {

std::string Where(const std::string& path, std::size_t row) {
  return path + " row " + std::to_string(row + 1);
}

}  // namespace

std::vector<City> LoadCities(const std::string& path) {
  std::vector<City> cities;
  auto rows = ReadTsv(path, 3);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    City city{ParseInt(rows[i][0], Where(path, i)), ParseInt(rows[i][1], Where(path, i)),
              rows[i][2]};
    if (city.prefecture < 1 || city.prefecture > 47 || city.code < 1 || city.code > 999 ||
        city.name.empty()) {
      throw std::runtime_error(Where(path, i) + ": city out of range");
    }
    if (!cities.empty()) {
      const City& prev = cities.back();
      if (std::pair(prev.prefecture, prev.code) >= std::pair(city.prefecture, city.code)) {
        throw std::runtime_error(Where(path, i) + ": not in prefecture/city order");
      }
    }
    cities.push_back(std::move(city));
  }
  return cities;
}

std::vector<SubCategory> LoadSubCategories(const std::string& path) {
  std::vector<SubCategory> subs;
  std::set<int> codes;
  auto rows = ReadTsv(path, 3);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SubCategory sub{ParseInt(rows[i][0], Where(path, i)), ParseInt(rows[i][1], Where(path, i)),
                    rows[i][2]};
    if (sub.category < 1 || sub.category > 10 || sub.code < 0 || sub.name.empty()) {
      throw std::runtime_error(Where(path, i) + ": sub-category out of range");
    }
    // Categories come in blocks, in list order, so the page can head each once.
    if (!subs.empty() && sub.category < subs.back().category) {
      throw std::runtime_error(Where(path, i) + ": categories out of order");
    }
    if (!codes.insert(sub.code).second) {
      throw std::runtime_error(Where(path, i) + ": duplicate code " + rows[i][1]);
    }
    subs.push_back(std::move(sub));
  }
  return subs;
}

}  // namespace valmeric::refdata
