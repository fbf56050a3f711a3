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

// The plan of a run: one entry per (city, sub-category) pair, cities outer and
// sub-categories inner, each the text "prefecture,city name,area code,
// sub-category code,sub-category name". Entries are put together when asked
// for, so a plan of all Japan costs a few hundred kilobytes, not one string each.
class Plan final {
 public:
  Plan() = default;
  Plan(std::vector<std::string> city_prefixes, std::vector<std::string> sub_category_items);

  size_t size() const { return city_prefixes_.size() * sub_category_items_.size(); }
  bool empty() const { return size() == 0; }
  std::string Entry(size_t index) const;
  std::vector<std::string> Entries() const;

 private:
  std::vector<std::string> city_prefixes_;       // "prefecture,city name,area code,"
  std::vector<std::string> sub_category_items_;  // "sub-category code,sub-category name"
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

// The status line of a plan entry: prefecture name, city name, " - ",
// sub-category name, " (done/total)". Entries that do not split into five
// fields show only the counts.
std::string PairStatusText(const std::string& plan_entry, int done, int total);

}  // namespace valmeric
