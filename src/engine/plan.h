#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "refdb/sqlite_db.h"

namespace valmeric {

// The ticked codes of the two selection lists, ascending.
struct Selection {
  std::vector<int> categories;   // 1..10
  std::vector<int> prefectures;  // 1..47
};

// Prefecture as at least two digits, city as at least three: 1, 27 -> "01027".
std::string FormatAreaCode(long long prefecture_code, long long city_code);

// One (city, sub-category) pair of a plan, its fields as the reference
// tables hold them (names in Shift_JIS; any of them may be empty).
struct PlanPair {
  std::string prefecture;  // the prefecture's code, as text
  std::string city_name;
  std::string area_code;  // "01101"
  std::string sub_category_code;
  std::string sub_category_name;

  // The entry as the status line and the journal show it: "prefecture,city
  // name,area code,sub-category code,sub-category name".
  std::string Text() const;
  // Whether its result page can be asked for: both codes are plain numbers.
  bool Askable() const;
  // "北海道札幌市 - 一般内科": the prefecture's name, the city's, the sub-category's.
  std::string Place() const;
};

// The plan of a run: one pair per (city, sub-category), cities outer and
// sub-categories inner. Pairs are put together when asked for, so a plan of
// all Japan costs a few hundred kilobytes, not one string each. The fields
// stay apart, so a name holding a comma, or none, costs nothing.
class Plan final {
 public:
  struct City {
    std::string prefecture, name, area_code;
  };
  struct SubCategory {
    std::string code, name;
  };

  Plan() = default;
  Plan(std::vector<City> cities, std::vector<SubCategory> sub_categories);

  size_t size() const { return cities_.size() * sub_categories_.size(); }
  bool empty() const { return size() == 0; }
  PlanPair Pair(size_t index) const;
  std::string Entry(size_t index) const { return Pair(index).Text(); }
  std::vector<std::string> Entries() const;

 private:
  std::vector<City> cities_;
  std::vector<SubCategory> sub_categories_;
};

// A fingerprint of the plan's entries in their order: the same selection
// gives a different one once the reference tables have changed.
std::int64_t PlanCheck(const Plan& plan);

// Reads the plan of a selection from the two reference tables.
Plan BuildPlan(Database& db, const Selection& selection);

// What the reference tables lack for a selection. A plan is empty exactly
// when every ticked prefecture lacks cities or every ticked category lacks
// sub-categories; this tells which, so the user can be told that the tables
// need rebuilding rather than that the site had nothing.
struct ReferenceGaps {
  bool no_cities = false;                              // T01_City has no row at all
  bool no_sub_categories = false;                      // T02_Category has no row at all
  std::vector<int> prefectures_without_cities;         // ticked, ascending
  std::vector<int> categories_without_sub_categories;  // ticked, ascending
  bool any() const {
    return no_cities || no_sub_categories || !prefectures_without_cities.empty() ||
           !categories_without_sub_categories.empty();
  }
};

// Reads the two reference tables for selection. Throws DbError.
ReferenceGaps FindReferenceGaps(Database& db, const Selection& selection);

// The status line of a pair: its place and " (done/total)".
std::string PairStatusText(const std::string& place, int done, int total);

}  // namespace valmeric
