#pragma once

#include <sys/types.h>

#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/record.h"

namespace valmeric {

// The output file could not be opened, written or closed.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The header line, without its line end.
const std::string& CsvHeaderLine();

// A record line, without its line end: each field quoted (inner quotes
// doubled) and followed by a comma.
std::string FormatRecordLine(const Record& record);

// The output CSV file. Lines end with CR LF. Whole lines are buffered and
// written together, so a file cut off by a crash never ends in half a line,
// and a write that fails half-way (a full disk) is cut back to the last whole
// line.
class CsvFile final {
 public:
  CsvFile() = default;
  ~CsvFile();
  CsvFile(const CsvFile&) = delete;
  CsvFile& operator=(const CsvFile&) = delete;

  // Creates or truncates path. Throws OutputError.
  void Open(const std::string& path);
  // Appends text and CR LF. Throws OutputError when the buffer cannot be written.
  void WriteLine(std::string_view text);
  // Writes the buffered lines to the file. Throws OutputError.
  void Flush();
  // Flushes and closes. Throws OutputError; the file is closed either way.
  void Close();
  bool is_open() const { return fd_ >= 0; }
  // Lines that have reached the file.
  size_t lines_on_disk() const { return lines_on_disk_; }

 private:
  void WriteAll(std::string_view bytes);

  static constexpr size_t kBufferLimit = 64 * 1024;
  std::string path_;
  std::string buffer_;
  size_t buffered_lines_ = 0;
  size_t lines_on_disk_ = 0;
  off_t bytes_on_disk_ = 0;
  int fd_ = -1;
};

}  // namespace valmeric
