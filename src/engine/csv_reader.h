#pragma once

#include <array>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/csv_writer.h"

namespace valmeric {

// A file that is not a CSV file this program writes. what() names the file
// and the line.
class CsvFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One record of a file that was read: its eight fields in CP932 with the
// quotes around a field and doubled quotes undone and the apostrophe in front
// of a field that starts like a formula taken off (WithoutFormulaGuard),
// viewing the table's text, and the line it starts on (the header is line 1).
// A quoted field may hold line breaks, as the file's own bytes (CR LF or LF).
struct CsvRow {
  std::array<std::string_view, 8> fields;
  size_t line = 0;

  std::string_view code() const { return fields[kHspCode]; }
};

// A record left out because an earlier record of the same file has its code.
struct RepeatedCode {
  std::string code;  // CP932
  size_t line = 0;
  size_t first_line = 0;
};

// A whole CSV file as CsvFile writes it, or as a spreadsheet such as Excel
// saves it again: CP932, or UTF-8 with or without a byte-order mark, held as
// CP932 whatever its encoding; CR LF or LF; each field quoted or, where it
// holds no comma, quote or line break, bare; every record with the collector's
// trailing empty column or every record without it. A quoted field may go on
// over line breaks. The header's fields are the collector's titles, quoted or
// not. Of several records with one code only the first is kept.
class CsvTable final {
 public:
  // Throws CsvFormatError for a file that is not such a CSV, and
  // std::runtime_error when it cannot be read.
  static CsvTable Read(const std::string& path);
  // The same for bytes in memory; name stands for the file in messages.
  static CsvTable Parse(std::string bytes, const std::string& name);

  const std::string& name() const { return name_; }
  CsvEncoding encoding() const { return encoding_; }
  // The records kept, in file order.
  const std::vector<CsvRow>& rows() const { return rows_; }
  // The record with that code, or nullptr.
  const CsvRow* Find(std::string_view code) const;
  // The only record whose code is the number code's digits make, leading
  // zeros set aside ("0123" and "123" alike), or nullptr when there is none
  // or more than one, or when code is not all digits.
  const CsvRow* FindNumber(std::string_view code) const;
  const std::vector<RepeatedCode>& repeated() const { return repeated_; }

 private:
  CsvTable() = default;
  [[noreturn]] void Fail(size_t line, const std::string& what) const;
  // The text in CP932 of UTF-8 source, which stood after skipped bytes (a
  // byte-order mark) in the file.
  std::unique_ptr<std::string> FromUtf8(std::string_view source, size_t skipped) const;
  void ParseText();
  // The record in [line, line + size), which starts on line number.
  void ParseRecord(char* line, size_t size, size_t number, bool several_lines);
  // Whether a record of count fields (more: a comma after the eighth, rest
  // what follows it) has the shape of the file's records; the first record
  // sets the shape. Throws CsvFormatError naming the line otherwise.
  void CheckShape(size_t count, bool more, std::string_view rest, bool ends_with_comma,
                  size_t line);

  std::string name_;
  CsvEncoding encoding_ = CsvEncoding::kCp932;
  // On the heap, so the fields' views stay valid when the table moves.
  std::unique_ptr<std::string> text_;
  std::vector<CsvRow> rows_;
  std::unordered_map<std::string_view, size_t> index_;  // code -> position in rows_
  std::vector<RepeatedCode> repeated_;
  // Whether records end with a comma after the eighth field (the trailing
  // empty column), as the first record does.
  enum class Shape { kUnknown, kTrailingColumn, kEightFields } shape_ = Shape::kUnknown;
  bool zero_led_codes_ = false;  // a code of more than one character starts with "0"
  // Digits of a code without leading zeros -> position in rows_, or kSeveral;
  // made on the first FindNumber.
  mutable std::unique_ptr<std::unordered_map<std::string_view, size_t>> numbers_;
};

}  // namespace valmeric
