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

std::string SelectMorePagesQuery(bool has_pages_end) {
  return std::string("SELECT PlanIndex, AreaCode, SubCtgrCode, Announced, Listed, ") +
         (has_pages_end ? "PagesEnd" : "0") + " FROM T05_MorePages ORDER BY PlanIndex";
}

std::string SelectRunQuery(bool has_crc, bool has_status, bool has_notes, bool has_pages,
                           bool has_previous) {
  const std::string gone = std::string("Status IN ") + kGoneStatuses;
  const std::string not_fetched =
      has_status ? "(SELECT COUNT(*) FROM T04_NotFetched WHERE NOT " + gone + ")"
                 : "(SELECT COUNT(*) FROM T04_NotFetched)";
  const std::string gone_count =
      has_status ? "(SELECT COUNT(*) FROM T04_NotFetched WHERE " + gone + ")" : "0";
  // A pair's row tells facilities beyond its first page while only that
  // page was read (PagesEnd 0), and facilities no page listed after its
  // later pages were read.
  const std::string first_only = has_pages ? " WHERE PagesEnd = 0" : "";
  const std::string pages =
      has_pages
          ? "PageMode, PairIndex, PairPages, NextPageUrl, PairAnnounced, PairListed, LaterPages, "
            "(SELECT COALESCE(SUM(Announced - Listed), 0) FROM T05_MorePages WHERE PagesEnd > 0), "
            "(SELECT COUNT(*) FROM T05_MorePages WHERE PagesEnd > 0), "
            "(SELECT COUNT(*) FROM T05_MorePages WHERE PagesEnd = 4)"
          : "0, -1, 0, '', 0, 0, 0, 0, 0, 0";
  return "SELECT Categories, Prefectures, OutputPath, Encoding, PlanSize, PlanCheck, EntriesDone, "
         "CsvBytes, FacilitiesWritten, " +
         not_fetched + ", (SELECT COALESCE(SUM(Announced - Listed), 0) FROM T05_MorePages" +
         first_only + "), (SELECT COUNT(*) FROM T05_MorePages" + first_only + "), " +
         std::string(has_crc ? "CsvCrc" : "NULL") + ", " + gone_count + ", " +
         (has_notes ? "EntriesSkipped, CountsUnreadable, PairsUnaskable" : "0, 0, 0") + ", " +
         pages + ", " + (has_previous ? "PreviousPath, PreviousPageMode" : "'', -1") +
         " FROM T03_Run WHERE ID = 1";
}

}  // namespace valmeric::sql
