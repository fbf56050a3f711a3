#include "engine/csv_reader.h"

#include <algorithm>
#include <cstring>

#include "common/text/sjis_text.h"
#include "common/text/text_encoding.h"
#include "messages/check_text.h"
#include "messages/detail_text.h"

namespace valmeric {
namespace {

constexpr size_t kFields = std::tuple_size_v<Record>;

// Calls fn(start, size, number) for each line of text, its LF or CR LF left
// out; a last line without a line end counts, nothing after a final line end
// does. Numbers start at 1.
template <typename Fn>
void ForEachLine(std::string_view text, Fn fn) {
  size_t number = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    const size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    if (end > start && text[end - 1] == '\r') --end;
    fn(start, end - start, ++number);
    start = next;
  }
}

}  // namespace

CsvTable CsvTable::Read(const std::string& path) {
  return Parse(ReadWholeFile(path), path);
}

CsvTable CsvTable::Parse(std::string bytes, const std::string& name) {
  CsvTable table;
  table.name_ = name;
  if (std::string_view(bytes).starts_with(kUtf8Bom)) {
    // Converted line by line into a CP932 text of the same lines, which is
    // never longer than the UTF-8 it comes from.
    table.encoding_ = CsvEncoding::kUtf8;
    const std::string_view source = std::string_view(bytes).substr(kUtf8Bom.size());
    auto converted = std::make_unique<std::string>();
    converted->reserve(source.size());
    // Each line keeps its own line end, so a line break inside a quoted field
    // reads as the same bytes in either encoding.
    ForEachLine(source, [&](size_t start, size_t size, size_t number) {
      const size_t bad = AppendUtf8AsSjisChecked(source.substr(start, size), *converted);
      if (bad != std::string_view::npos) {
        table.Fail(number, AtByte(bad + (number == 1 ? 4 : 1), check_text::kCsvNotUtf8OrCp932));
      }
      const size_t end = start + size;
      if (end < source.size()) converted->append(source[end] == '\r' ? "\r\n" : "\n");
    });
    bytes = std::string();
    table.text_ = std::move(converted);
  } else {
    table.text_ = std::make_unique<std::string>(std::move(bytes));
  }
  table.ParseText();
  return table;
}

const CsvRow* CsvTable::Find(std::string_view code) const {
  const auto found = index_.find(code);
  return found == index_.end() ? nullptr : &rows_[found->second];
}

void CsvTable::Fail(size_t line, const std::string& what) const {
  throw CsvFormatError(Detail(detail::kCsvFormat, AtLine(name_, line) + what));
}

void CsvTable::ParseText() {
  std::string& text = *text_;
  if (text.empty()) Fail(1, check_text::kCsvEmpty);
  const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  rows_.reserve(lines);
  index_.reserve(lines);
  // A record whose line ends inside a quoted field goes on over the next
  // lines, as Excel writes a cell that holds a line break: the quotes seen so
  // far are then odd in number.
  size_t record_start = 0;
  size_t record_line = 0;
  size_t quotes = 0;
  ForEachLine(text, [&](size_t start, size_t size, size_t number) {
    const std::string_view line(text.data() + start, size);
    if (number == 1) {
      if (line == CsvHeaderLine()) return;
      if (line == SjisToUtf8(CsvHeaderLine())) {
        Fail(1, check_text::kCsvHeaderWithoutBom);
      }
      Fail(1, check_text::kCsvOtherHeader);
    }
    if (encoding_ == CsvEncoding::kCp932) {
      const size_t bad = FindInvalidSjis(line);
      if (bad != std::string_view::npos) {
        Fail(number, AtByte(bad + 1, check_text::kCsvNotCp932));
      }
    }
    if (record_line == 0) {
      record_start = start;
      record_line = number;
      quotes = 0;
    }
    quotes += static_cast<size_t>(std::count(line.begin(), line.end(), '"'));
    if (quotes % 2 != 0) return;
    ParseRecord(text.data() + record_start, start + size - record_start, record_line,
                number != record_line);
    record_line = 0;
  });
  // A quote left open at the end of the file.
  if (record_line != 0) {
    size_t end = text.size();
    if (text[end - 1] == '\n') {
      --end;
      if (end > record_start && text[end - 1] == '\r') --end;
    }
    ParseRecord(text.data() + record_start, end - record_start, record_line, true);
  }
}

// Fields are read in place: undoing a doubled quote only ever shortens a field.
// A record that stands on several lines names a fault by the line it is on.
void CsvTable::ParseRecord(char* line, size_t size, size_t number, bool several_lines) {
  size_t line_breaks = 0;  // passed so far, counted only in a record of several lines
  auto fail_on = [&](size_t breaks, const std::string& what) {
    Fail(number + breaks, check_text::kCsvRecordForm + what);
  };
  auto fail = [&](const std::string& what) { fail_on(line_breaks, what); };
  if (size == 0) fail(check_text::kCsvEmptyLine);
  CsvRow row;
  row.line = number;
  size_t at = 0;
  for (size_t field = 0; field < kFields; ++field) {
    if (at >= size) fail(std::to_string(field) + check_text::kCsvLineEndsAfterFields);
    if (line[at] != '"') fail(FieldProblem(field + 1, check_text::kCsvFieldUnquoted));
    const size_t begin = ++at;
    const size_t opened_after = line_breaks;
    size_t kept = begin;  // end of the field's text written so far
    for (;;) {
      const void* quote = std::memchr(line + at, '"', size - at);
      if (quote == nullptr)
        fail_on(opened_after, FieldProblem(field + 1, check_text::kCsvFieldUnclosed));
      const size_t q = static_cast<size_t>(static_cast<const char*>(quote) - line);
      if (several_lines) line_breaks += static_cast<size_t>(std::count(line + at, line + q, '\n'));
      if (kept != at) std::memmove(line + kept, line + at, q - at);
      kept += q - at;
      if (q + 1 < size && line[q + 1] == '"') {  // a doubled quote stands for one
        line[kept++] = '"';
        at = q + 2;
        continue;
      }
      at = q + 1;
      break;
    }
    if (at >= size || line[at] != ',') fail(FieldProblem(field + 1, check_text::kCsvFieldNoComma));
    ++at;
    row.fields[field] = WithoutFormulaGuard(std::string_view(line + begin, kept - begin));
  }
  if (at != size) fail(check_text::kCsvMoreThanEightFields);

  const auto [found, added] = index_.try_emplace(row.code(), rows_.size());
  if (!added) {
    repeated_.push_back({std::string(row.code()), number, rows_[found->second].line});
    return;
  }
  rows_.push_back(row);
}

}  // namespace valmeric
