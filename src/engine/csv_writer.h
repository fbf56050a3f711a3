#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform/native_file.h"
#include "engine/record.h"

namespace valmeric {

// The output file could not be opened, written or closed.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The output file could not be opened because another run holds it.
class OutputInUseError final : public OutputError {
 public:
  using OutputError::OutputError;
};

// How a CSV file's bytes are encoded: CP932 without a byte-order mark, or
// UTF-8 that starts with one.
enum class CsvEncoding { kCp932, kUtf8 };

// "cp932" or "utf-8": how the journal and the command line name an encoding.
const char* EncodingName(CsvEncoding encoding);
// The encoding of that name; none for another name.
std::optional<CsvEncoding> EncodingNamed(std::string_view name);

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The eight column titles, CP932, in the column order of Record.
const std::array<std::string, 8>& CsvColumnTitles();

// The header line, without its line end: the titles quoted and joined by commas.
const std::string& CsvHeaderLine();

// Whether a spreadsheet would evaluate field as a formula: it starts with "=",
// "+", "-", "@", a tab or a carriage return. The first byte decides; in CP932
// none of these is ever a lead byte.
bool StartsLikeAFormula(std::string_view field);

// Appends field quoted (inner quotes doubled) and followed by a comma. A field
// that starts like a formula gets an apostrophe in front, so a spreadsheet
// takes it as text; every other field is written as it is.
void AppendCsvField(std::string& line, std::string_view field);

// field without the apostrophe AppendCsvField puts in front of one that
// starts like a formula, so a field written with it and the same field
// written without it (by an older build) read alike. An apostrophe followed
// by anything else is the field's own and stays.
std::string_view WithoutFormulaGuard(std::string_view field);

// A record line, without its line end: each field as AppendCsvField writes it.
std::string FormatRecordLine(const Record& record);

// The output CSV file. Lines end with CR LF. Whole lines are buffered and
// written in pieces of at most one memory page that end on a line end (a
// longer line goes alone), because a kill can stop a write() between two
// pages. A write that fails half-way (a full disk) keeps every whole line
// that reached the file and cuts off the rest.
// Lines are given in CP932; a UTF-8 file gets its byte-order mark first and
// each line converted.
class CsvFile final {
 public:
  CsvFile() = default;
  ~CsvFile();
  CsvFile(const CsvFile&) = delete;
  CsvFile& operator=(const CsvFile&) = delete;

  // Creates or truncates path. Throws OutputError.
  void Open(const std::string& path, CsvEncoding encoding = CsvEncoding::kCp932);
  // Appends text (CP932) and CR LF. Throws OutputError when the buffer cannot be written.
  void WriteLine(std::string_view text);
  // Writes the buffered lines to the file. Throws OutputError.
  void Flush();
  // Flushes and closes. Throws OutputError; the file is closed either way.
  void Close();
  bool is_open() const { return file_.is_open(); }
  // Gives the file up: closes it without writing what is buffered and removes
  // it when Open made it. A file that was there before stays.
  void Discard();
  // Lines that have reached the file.
  size_t lines_on_disk() const { return lines_on_disk_; }

  // Opens an existing file to go on writing it: everything past length is cut
  // off first. Nothing is written at the start (no header, no byte-order
  // mark). crc is the CRC-32 of the length bytes kept, as the caller found
  // them. Throws OutputError, also when the file is shorter than length;
  // the file is then left as it is, and lines_on_disk() counts its whole
  // lines past length.
  void Reopen(const std::string& path, CsvEncoding encoding, std::int64_t length,
              std::uint32_t crc);
  // Flushes and makes what the file holds durable. Throws OutputError.
  void Sync();
  // The file's length: the bytes that have reached it.
  std::int64_t bytes_on_disk() const { return bytes_on_disk_; }
  // The CRC-32 of those bytes, kept up to date as lines reach the file.
  std::uint32_t crc_on_disk() const { return crc_on_disk_; }

 private:
  // Opens path and takes its lock. Throws OutputError.
  void OpenLocked(const std::string& path, NativeFile::Mode mode);
  // Cuts the open file back to length. Throws OutputError, closing it.
  void CutTo(std::int64_t length);
  // Writes buffer bytes [start, ends.back()); ends are the line ends in it.
  void WritePiece(std::string_view buffer, size_t start, std::span<const size_t> ends);

  static constexpr size_t kBufferLimit = 64 * 1024;
  static constexpr size_t kPieceLimit = 4096;
  std::string path_;
  CsvEncoding encoding_ = CsvEncoding::kCp932;
  std::string buffer_;
  std::vector<size_t> line_ends_;  // offset past each buffered line's CR LF
  size_t lines_on_disk_ = 0;
  std::int64_t bytes_on_disk_ = 0;
  std::uint32_t crc_on_disk_ = 0;
  bool created_ = false;
  NativeFile file_;
};

}  // namespace valmeric
