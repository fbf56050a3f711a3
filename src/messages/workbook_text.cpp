#include "messages/workbook_text.h"

namespace valmeric::workbook_text {

const std::vector<std::string_view>& Texts() {
  static const std::vector<std::string_view> texts = {
      kListSheet, kFactsSheet,  kTitle,           kFactsItem, kFactsValue, kFile, kFileTime,
      kSite,      kCategories,  kPrefectures,     kWritten,   kNotFetched, kGone, kBeyond,
      kNoRecord,  kCannotWrite, kNotCollectorCsv, kSameAsCsv, kExported};
  return texts;
}

}  // namespace valmeric::workbook_text
