#include "engine/plan.h"

#include <cstdio>
#include <cstdlib>
#include <set>

#include "common/network/site_lists.h"
#include "common/text/sjis_text.h"
#include "refdb/statements.h"

namespace valmeric {

std::string FormatAreaCode(long long prefecture_code, long long city_code) {
  char text[48];
  std::snprintf(text, sizeof text, "%2.2lld%3.3lld", prefecture_code, city_code);
  return text;
}

std::string PlanPair::Text() const {
  return prefecture + "," + city_name + "," + area_code + "," + sub_category_code + "," +
         sub_category_name;
}

bool PlanPair::Askable() const {
  return IsPlainDecimal(area_code) && IsPlainDecimal(sub_category_code);
}

std::string PlanPair::Place() const {
  const int code = std::atoi(prefecture.c_str());
  const auto& names = PrefectureNames();
  std::string text;
  if (code > 0 && code <= static_cast<int>(names.size()))
    text = names[static_cast<size_t>(code) - 1];
  return text + city_name + " - " + sub_category_name;
}

Plan::Plan(std::vector<City> cities, std::vector<SubCategory> sub_categories)
    : cities_(std::move(cities)), sub_categories_(std::move(sub_categories)) {}

PlanPair Plan::Pair(size_t index) const {
  const size_t subs = sub_categories_.size();
  const City& city = cities_.at(index / subs);
  const SubCategory& sub = sub_categories_[index % subs];
  return {city.prefecture, city.name, city.area_code, sub.code, sub.name};
}

std::vector<std::string> Plan::Entries() const {
  std::vector<std::string> entries;
  entries.reserve(size());
  for (size_t i = 0; i < size(); ++i) entries.push_back(Entry(i));
  return entries;
}

std::int64_t PlanCheck(const Plan& plan) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a, 64 bits
  auto add = [&hash](unsigned char byte) {
    hash ^= byte;
    hash *= 1099511628211ull;
  };
  for (size_t i = 0; i < plan.size(); ++i) {
    for (char c : plan.Entry(i)) add(static_cast<unsigned char>(c));
    add('\n');
  }
  return static_cast<std::int64_t>(hash);
}

Plan BuildPlan(Database& db, const Selection& selection) {
  std::vector<Plan::SubCategory> sub_categories;
  Statement sub_query = db.Prepare(sql::SubCategoryQuery(selection.categories));
  while (sub_query.Step())
    sub_categories.push_back({sub_query.ColumnText(0), sub_query.ColumnText(1)});
  std::vector<Plan::City> cities;
  Statement city_query = db.Prepare(sql::CityQuery(selection.prefectures));
  while (city_query.Step()) {
    cities.push_back({city_query.ColumnText(0), city_query.ColumnText(2),
                      FormatAreaCode(city_query.ColumnInt(0), city_query.ColumnInt(1))});
  }
  return Plan(std::move(cities), std::move(sub_categories));
}

namespace {

// The codes of the one-column query sql.
std::set<std::int64_t> CodesIn(Database& db, const char* sql) {
  std::set<std::int64_t> codes;
  Statement query = db.Prepare(sql);
  while (query.Step()) codes.insert(query.ColumnInt(0));
  return codes;
}

std::vector<int> Missing(const std::vector<int>& ticked, const std::set<std::int64_t>& present) {
  std::vector<int> missing;
  for (int code : ticked) {
    if (!present.contains(code)) missing.push_back(code);
  }
  return missing;
}

}  // namespace

ReferenceGaps FindReferenceGaps(Database& db, const Selection& selection) {
  const auto prefectures = CodesIn(db, sql::kPrefecturesWithCities);
  const auto categories = CodesIn(db, sql::kCategoriesWithSubCategories);
  ReferenceGaps gaps;
  gaps.no_cities = prefectures.empty();
  gaps.no_sub_categories = categories.empty();
  gaps.prefectures_without_cities = Missing(selection.prefectures, prefectures);
  gaps.categories_without_sub_categories = Missing(selection.categories, categories);
  return gaps;
}

std::string PairStatusText(const std::string& place, int done, int total) {
  return place + " (" + std::to_string(done) + "/" + std::to_string(total) + ")";
}

}  // namespace valmeric
