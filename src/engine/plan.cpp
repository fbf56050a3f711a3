#include "engine/plan.h"

#include <cstdio>
#include <cstdlib>

#include "common/site_lists.h"
#include "common/split_text.h"
#include "refdb/statements.h"

namespace valmeric {

std::string FormatAreaCode(long long prefecture_code, long long city_code) {
  char text[48];
  std::snprintf(text, sizeof text, "%2.2lld%3.3lld", prefecture_code, city_code);
  return text;
}

std::vector<std::string> BuildPlan(Database& db, const Selection& selection) {
  std::vector<std::string> sub_categories;
  Statement sub_query = db.Prepare(sql::SubCategoryQuery(selection.categories));
  while (sub_query.Step()) {
    sub_categories.push_back(sub_query.ColumnText(0) + "," + sub_query.ColumnText(1));
  }

  std::vector<std::string> plan;
  Statement city_query = db.Prepare(sql::CityQuery(selection.prefectures));
  while (city_query.Step()) {
    const std::string prefix = city_query.ColumnText(0) + "," + city_query.ColumnText(2) + "," +
                               FormatAreaCode(city_query.ColumnInt(0), city_query.ColumnInt(1)) +
                               ",";
    for (const std::string& item : sub_categories) plan.push_back(prefix + item);
  }
  return plan;
}

std::string PairStatusText(const std::string& plan_entry, int done, int total) {
  std::vector<std::string> fields;
  SplitText(plan_entry, ",", fields);
  std::string text;
  if (fields.size() == 5) {
    const int prefecture = std::atoi(fields[0].c_str());
    const auto& names = PrefectureNames();
    if (prefecture > 0 && prefecture <= static_cast<int>(names.size())) {
      text = names[static_cast<size_t>(prefecture) - 1];
    }
    text += fields[1] + " - " + fields[4];
  }
  text += " (" + std::to_string(done) + "/" + std::to_string(total) + ")";
  return text;
}

}  // namespace valmeric
