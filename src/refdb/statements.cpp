#include "refdb/statements.h"

namespace valmeric::sql {
namespace {

std::string OrTerms(const char* column, const std::vector<int>& codes) {
  std::string condition;
  for (int code : codes) {
    if (!condition.empty()) condition += " OR ";
    condition += column;
    condition += " = ";
    condition += std::to_string(code);
  }
  return condition;
}

}  // namespace

std::string SubCategoryQuery(const std::vector<int>& category_codes) {
  return "SELECT SubCtgrCode, SubCtgrName FROM T02_Category WHERE " +
         OrTerms("CtgrCode", category_codes) + " ORDER BY ID";
}

std::string CityQuery(const std::vector<int>& prefecture_codes) {
  return "SELECT AreaCode, CityCode, CityName FROM T01_City WHERE " +
         OrTerms("AreaCode", prefecture_codes) + " ORDER BY AreaCode, CityCode";
}

}  // namespace valmeric::sql
