#include "messages/detail_text.h"

namespace valmeric {

std::string Detail(std::string_view sentence, std::string_view technical) {
  std::string text(sentence);
  if (!technical.empty()) text.append("(").append(technical).append(")");
  return text;
}

std::string FileDetail(std::string_view sentence, std::string_view path, std::string_view why) {
  std::string technical(path);
  if (!why.empty()) technical.append(": ").append(why);
  return Detail(sentence, technical);
}

std::string AtLine(std::string_view where, std::size_t line) {
  return std::string(where) + ": " + std::to_string(line) + " 行目: ";
}

const std::vector<std::string_view>& DetailSentences() {
  using namespace detail;
  static const std::vector<std::string_view> sentences = {
      kCannotOpen,        kCannotRead,
      kCannotWrite,       kCannotClose,
      kCannotSync,        kCannotCutBack,
      kAnotherRunWrites,  kShorterThanRecorded,
      kOutputNotOpen,     kCannotCreateScratch,
      kCannotOpenLock,    kCannotLock,
      kDatabaseInUse,     kDatabaseNotFound,
      kDatabaseEmpty,     kDatabaseOpen,
      kDatabaseStatement, kNotANumber,
      kNoCityRows,        kNoSubCategoryRows,
      kNoCitiesFor,       kNoSubCategoriesFor,
      kNoPlanPairs,       kListPageNotFetched,
      kListPageNoCity,    kListPageNoSubCategory,
      kListPageBadCode,   kOriginForm,
      kOriginParts,       kCsvFormat,
      kUnknownError,      kWindowsError,
      kStrayWal,          kBuiltWithoutSiteHost};
  return sentences;
}

}  // namespace valmeric
