#include "support/excel_csv.h"

#include <vector>

#include "support/euc.h"

namespace valmeric::test {
namespace {

using Record = std::vector<std::string>;

// The records of UTF-8 CSV text; a field may be quoted, and a quoted one may
// hold commas, doubled quotes and line breaks. A comma at a line's end opens
// an empty last field.
std::vector<Record> Records(std::string_view text) {
  std::vector<Record> records;
  Record record;
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      record.push_back(std::move(field));
      field.clear();
    } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      if (c == '\r') ++i;
      record.push_back(std::move(field));
      field.clear();
      records.push_back(std::move(record));
      record.clear();
    } else {
      field += c;
    }
  }
  if (!field.empty() || !record.empty()) {
    record.push_back(std::move(field));
    records.push_back(std::move(record));
  }
  return records;
}

std::string Field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string WithoutLeadingZeros(const std::string& code) {
  if (code.empty() || code.find_first_not_of("0123456789") != std::string::npos) return code;
  const size_t first = code.find_first_not_of('0');
  return first == std::string::npos ? "0" : code.substr(first);
}

}  // namespace

std::string ExcelResave(std::string_view collected, const ExcelSave& save) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  const std::string text = collected.starts_with(kBom) ? std::string(collected.substr(kBom.size()))
                                                       : SjisToUtf8ForTest(collected);
  std::string out;
  bool header = true;
  for (Record record : Records(text)) {
    if (record.size() > 8 && record.back().empty()) record.pop_back();
    if (!header && !save.keep_zeros) record[0] = WithoutLeadingZeros(record[0]);
    for (size_t i = 0; i < record.size(); ++i) out += (i == 0 ? "" : ",") + Field(record[i]);
    if (!header && save.trailing_column) out += ',';
    out += save.line_end;
    header = false;
  }
  switch (save.encoding) {
    case ExcelSave::Encoding::kUtf8WithBom:
      return std::string(kBom) + out;
    case ExcelSave::Encoding::kUtf8:
      return out;
    case ExcelSave::Encoding::kCp932:
      return Sjis(out);
  }
  return out;
}

}  // namespace valmeric::test
