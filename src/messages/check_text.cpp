#include "messages/check_text.h"

namespace valmeric {

std::string AtByte(std::size_t byte, std::string_view what) {
  return std::to_string(byte) + " バイト目: " + std::string(what);
}

std::string FieldProblem(std::size_t field, std::string_view what) {
  return std::to_string(field) + " 番目の項目" + std::string(what);
}

std::string ShorterThanRecorded(std::uintmax_t recorded, std::uintmax_t size) {
  return "記録された " + std::to_string(recorded) + " バイトより短くなっています (" +
         std::to_string(size) + " バイト)";
}

std::string LinesDisagree(std::int64_t recorded, std::int64_t lines) {
  return "記録された " + std::to_string(recorded) + " 件と行数 (" + std::to_string(lines) +
         " 件) が合いません";
}

const std::vector<std::string_view>& CheckTexts() {
  using namespace check_text;
  static const std::vector<std::string_view> texts = {kCsvEmpty,
                                                      kCsvOtherHeader,
                                                      kCsvNotUtf8OrCp932,
                                                      kCsvNotCp932,
                                                      kCsvRecordForm,
                                                      kCsvEmptyLine,
                                                      kCsvLineEndsAfterFields,
                                                      kCsvQuoteInBareField,
                                                      kCsvFieldUnclosed,
                                                      kCsvFieldNoComma,
                                                      kCsvMoreThanEightFields,
                                                      kRecordedCategories,
                                                      kRecordedPrefectures,
                                                      kRecordedEncoding,
                                                      kRecordedOutput,
                                                      kRecordedCounts,
                                                      kNotAFile,
                                                      kSizeUnreadable,
                                                      kLinesNotThereThen,
                                                      kFileMissing,
                                                      kFileUnreadable,
                                                      kFileReadShort,
                                                      kOtherHeader,
                                                      kMidLine,
                                                      kContentChanged};
  return texts;
}

}  // namespace valmeric
