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
constexpr size_t kSeveral = static_cast<size_t>(-1);

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

// Reads the fields of one record, quoted or bare, in place: undoing the
// quotes only ever shortens a field. Line breaks are counted only in a record
// of several lines, so that a fault is named by the line it is on.
class FieldReader {
 public:
  FieldReader(char* text, size_t size, bool several_lines)
      : text_(text), size_(size), several_lines_(several_lines) {}

  // The next field; false, with fault() and fault_breaks() set, when it is
  // malformed.
  bool Next(std::string_view* field) {
    ++number_;
    const bool ok = at_ < size_ && text_[at_] == '"' ? Quoted(field) : Bare(field);
    if (!ok) return false;
    more_ = at_ < size_;
    if (more_ && text_[at_] != ',') return Fault(check_text::kCsvFieldNoComma, breaks_);
    if (more_) ++at_;
    return true;
  }
  // Whether a comma followed the last field read (so another field follows).
  bool more() const { return more_; }
  // What follows the last field's comma.
  std::string_view rest() const { return {text_ + at_, size_ - at_}; }
  size_t line_breaks() const { return breaks_; }
  const std::string& fault() const { return fault_; }
  size_t fault_breaks() const { return fault_breaks_; }

 private:
  bool Fault(const char* what, size_t breaks) {
    fault_ = FieldProblem(number_, what);
    fault_breaks_ = breaks;
    return false;
  }
  void CountBreaks(size_t from, size_t to) {
    if (several_lines_) breaks_ += static_cast<size_t>(std::count(text_ + from, text_ + to, '\n'));
  }

  bool Bare(std::string_view* field) {
    const void* comma = std::memchr(text_ + at_, ',', size_ - at_);
    const size_t end =
        comma == nullptr ? size_ : static_cast<size_t>(static_cast<const char*>(comma) - text_);
    if (std::memchr(text_ + at_, '"', end - at_) != nullptr) {
      return Fault(check_text::kCsvQuoteInBareField, breaks_);
    }
    CountBreaks(at_, end);
    *field = std::string_view(text_ + at_, end - at_);
    at_ = end;
    return true;
  }

  bool Quoted(std::string_view* field) {
    const size_t begin = ++at_;
    const size_t opened_after = breaks_;
    size_t kept = begin;  // end of the field's text written so far
    for (;;) {
      const void* quote = std::memchr(text_ + at_, '"', size_ - at_);
      if (quote == nullptr) return Fault(check_text::kCsvFieldUnclosed, opened_after);
      const size_t q = static_cast<size_t>(static_cast<const char*>(quote) - text_);
      CountBreaks(at_, q);
      if (kept != at_) std::memmove(text_ + kept, text_ + at_, q - at_);
      kept += q - at_;
      at_ = q + 1;
      if (at_ < size_ && text_[at_] == '"') {  // a doubled quote stands for one
        text_[kept++] = '"';
        ++at_;
        continue;
      }
      *field = std::string_view(text_ + begin, kept - begin);
      return true;
    }
  }

  char* text_;
  size_t size_;
  bool several_lines_;
  size_t at_ = 0;
  size_t number_ = 0;  // of the field being read, from 1
  bool more_ = false;
  size_t breaks_ = 0;
  std::string fault_;
  size_t fault_breaks_ = 0;
};

// Whether rest, what follows a record's eighth field and its comma, is one
// empty column: nothing, or two quotes.
bool EmptyColumn(std::string_view rest) {
  return rest.empty() || rest == "\"\"";
}

// Whether line (the file's first, without its line end) holds the titles,
// each quoted or not, with or without a trailing empty column after them.
bool IsHeader(std::string_view line, const std::array<std::string, 8>& titles) {
  std::string copy(line);
  FieldReader reader(copy.data(), copy.size(), false);
  for (size_t i = 0; i < titles.size(); ++i) {
    std::string_view field;
    if (i > 0 && !reader.more()) return false;
    if (!reader.Next(&field) || field != titles[i]) return false;
  }
  return !reader.more() || EmptyColumn(reader.rest());
}

// The first line of text without its line end.
std::string_view FirstLine(std::string_view text) {
  std::string_view line = text.substr(0, text.find('\n'));
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

// The titles in UTF-8, for a file saved in UTF-8 without a byte-order mark.
const std::array<std::string, 8>& Utf8Titles() {
  static const std::array<std::string, 8> titles = [] {
    std::array<std::string, 8> utf8;
    for (size_t i = 0; i < utf8.size(); ++i) utf8[i] = SjisToUtf8(CsvColumnTitles()[i]);
    return utf8;
  }();
  return titles;
}

// code's digits without their leading zeros ("0" for zeros only), or an empty
// view when code is empty or holds anything but digits.
std::string_view NumberOf(std::string_view code) {
  if (code.empty() || code.find_first_not_of("0123456789") != std::string_view::npos) return {};
  const size_t first = std::min(code.find_first_not_of('0'), code.size() - 1);
  return code.substr(first);
}

}  // namespace

CsvTable CsvTable::Read(const std::string& path) {
  return Parse(ReadWholeFile(path), path);
}

CsvTable CsvTable::Parse(std::string bytes, const std::string& name) {
  CsvTable table;
  table.name_ = name;
  const std::string_view view(bytes);
  const bool bom = view.starts_with(kUtf8Bom);
  // Without a byte-order mark the header tells UTF-8 from CP932: its titles'
  // bytes differ between the two.
  if (bom || IsHeader(FirstLine(view), Utf8Titles())) {
    table.encoding_ = CsvEncoding::kUtf8;
    const size_t skipped = bom ? kUtf8Bom.size() : 0;
    table.text_ = table.FromUtf8(view.substr(skipped), skipped);
    bytes = std::string();
  } else {
    table.text_ = std::make_unique<std::string>(std::move(bytes));
  }
  table.ParseText();
  return table;
}

// Converted line by line into a CP932 text of the same lines, which is never
// longer than the UTF-8 it comes from. Each line keeps its own line end, so a
// line break inside a quoted field reads as the same bytes in either encoding.
std::unique_ptr<std::string> CsvTable::FromUtf8(std::string_view source, size_t skipped) const {
  auto converted = std::make_unique<std::string>();
  converted->reserve(source.size());
  ForEachLine(source, [&](size_t start, size_t size, size_t number) {
    const size_t bad = AppendUtf8AsSjisChecked(source.substr(start, size), *converted);
    if (bad != std::string_view::npos) {
      Fail(number, AtByte(bad + 1 + (number == 1 ? skipped : 0), check_text::kCsvNotUtf8OrCp932));
    }
    const size_t end = start + size;
    if (end < source.size()) converted->append(source[end] == '\r' ? "\r\n" : "\n");
  });
  return converted;
}

const CsvRow* CsvTable::Find(std::string_view code) const {
  const auto found = index_.find(code);
  return found == index_.end() ? nullptr : &rows_[found->second];
}

const CsvRow* CsvTable::FindNumber(std::string_view code) const {
  const std::string_view number = NumberOf(code);
  if (number.empty()) return nullptr;
  // Without a code that starts with a zero, a number's only code is itself.
  if (!zero_led_codes_) return Find(number);
  if (!numbers_) {
    numbers_ = std::make_unique<std::unordered_map<std::string_view, size_t>>();
    for (size_t i = 0; i < rows_.size(); ++i) {
      const std::string_view own = NumberOf(rows_[i].code());
      if (own.empty()) continue;
      const auto [found, added] = numbers_->try_emplace(own, i);
      if (!added) found->second = kSeveral;
    }
  }
  const auto found = numbers_->find(number);
  if (found == numbers_->end() || found->second == kSeveral) return nullptr;
  return &rows_[found->second];
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
      if (!IsHeader(line, CsvColumnTitles())) Fail(1, check_text::kCsvOtherHeader);
      return;
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

void CsvTable::ParseRecord(char* line, size_t size, size_t number, bool several_lines) {
  if (size == 0) Fail(number, check_text::kCsvRecordForm + std::string(check_text::kCsvEmptyLine));
  FieldReader reader(line, size, several_lines);
  CsvRow row;
  row.line = number;
  size_t count = 0;
  while (count < kFields) {
    std::string_view field;
    if (!reader.Next(&field)) {
      Fail(number + reader.fault_breaks(), check_text::kCsvRecordForm + reader.fault());
    }
    row.fields[count++] = WithoutFormulaGuard(field);
    if (!reader.more()) break;
  }
  CheckShape(count, reader.more(), reader.rest(), line[size - 1] == ',',
             number + reader.line_breaks());

  const auto [found, added] = index_.try_emplace(row.code(), rows_.size());
  if (!added) {
    repeated_.push_back({std::string(row.code()), number, rows_[found->second].line});
    return;
  }
  if (row.code().size() > 1 && row.code().front() == '0') zero_led_codes_ = true;
  rows_.push_back(row);
}

void CsvTable::CheckShape(size_t count, bool more, std::string_view rest, bool ends_with_comma,
                          size_t line) {
  if (shape_ == Shape::kUnknown && count == kFields) {
    if (!more) shape_ = Shape::kEightFields;
    if (more && EmptyColumn(rest)) shape_ = Shape::kTrailingColumn;
  }
  auto fail = [&](const std::string& what) { Fail(line, check_text::kCsvRecordForm + what); };
  if (count == kFields && more) {
    if (shape_ != Shape::kTrailingColumn || !EmptyColumn(rest)) {
      fail(check_text::kCsvMoreThanEightFields);
    }
    return;
  }
  if (shape_ == Shape::kEightFields) {
    if (count < kFields) fail(std::to_string(count) + check_text::kCsvLineEndsAfterFields);
    return;
  }
  // The collector's own shape: a comma after each of the eight fields. A line
  // that ends with a comma has one field fewer than it seems to.
  if (ends_with_comma) fail(std::to_string(count - 1) + check_text::kCsvLineEndsAfterFields);
  fail(FieldProblem(count, check_text::kCsvFieldNoComma));
}

}  // namespace valmeric
