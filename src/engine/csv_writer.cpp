#include "engine/csv_writer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/text_encoding.h"

namespace valmeric {
namespace {

[[noreturn]] void ThrowErrno(const char* what, const std::string& path, int error) {
  throw OutputError(std::string(what) + " " + path + ": " + std::strerror(error));
}

}  // namespace

const std::array<std::string, 8>& CsvColumnTitles() {
  static const std::array<std::string, 8> titles = {
      Utf8ToSjis("病院ID"),   Utf8ToSjis("病院名"), Utf8ToSjis("郵便番号"), Utf8ToSjis("住所"),
      Utf8ToSjis("電話番号"), Utf8ToSjis("最寄駅"), Utf8ToSjis("診療科目"), Utf8ToSjis("詳細ページURL")};
  return titles;
}

const std::string& CsvHeaderLine() {
  static const std::string header = [] {
    std::string line;
    for (const std::string& title : CsvColumnTitles()) AppendCsvField(line, title);
    line.pop_back();  // the header alone has no comma after its last title
    return line;
  }();
  return header;
}

void AppendCsvField(std::string& line, std::string_view field) {
  line.push_back('"');
  for (size_t quote = field.find('"'); quote != std::string_view::npos; quote = field.find('"')) {
    line.append(field.substr(0, quote + 1)).push_back('"');
    field.remove_prefix(quote + 1);
  }
  line.append(field).append("\",");
}

std::string FormatRecordLine(const Record& record) {
  std::string line;
  line.reserve(256);
  for (const std::string& field : record) AppendCsvField(line, field);
  return line;
}

CsvFile::~CsvFile() {
  if (fd_ < 0) return;
  try {
    Flush();
  } catch (const OutputError&) {  // the run reports the first failure; here only close
  }
  ::close(fd_);
}

void CsvFile::Open(const std::string& path, CsvEncoding encoding) {
  path_ = path;
  encoding_ = encoding;
  buffer_.clear();
  line_ends_.clear();
  lines_on_disk_ = 0;
  bytes_on_disk_ = 0;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) ThrowErrno("cannot open", path, errno);
  // Held for the whole run, so no other run takes the same file; emptied
  // only once it is ours.
  struct stat info {};
  const bool regular = ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 || (regular && ::ftruncate(fd_, 0) != 0)) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    if (error == EWOULDBLOCK) throw OutputError("another run writes " + path);
    ThrowErrno("cannot open", path, error);
  }
  if (encoding_ == CsvEncoding::kUtf8) buffer_.append(kUtf8Bom);
}

void CsvFile::WriteLine(std::string_view text) {
  if (fd_ < 0) throw OutputError("the output file is not open");
  if (encoding_ == CsvEncoding::kUtf8) {
    buffer_.append(SjisToUtf8(text));
  } else {
    buffer_.append(text);
  }
  buffer_.append("\r\n");
  line_ends_.push_back(buffer_.size());
  if (buffer_.size() >= kBufferLimit) Flush();
}

void CsvFile::Flush() {
  if (buffer_.empty()) return;
  const std::string pending = std::move(buffer_);
  const std::vector<size_t> ends = std::move(line_ends_);
  buffer_.clear();
  line_ends_.clear();
  // Each piece takes as many whole lines as fit in kPieceLimit, at least one.
  size_t start = 0;
  for (size_t line = 0; line < ends.size();) {
    size_t last = line;
    while (last + 1 < ends.size() && ends[last + 1] - start <= kPieceLimit) ++last;
    WritePiece(pending, start, std::span<const size_t>(ends).subspan(line, last - line + 1));
    start = ends[last];
    line = last + 1;
  }
}

void CsvFile::WritePiece(std::string_view buffer, size_t start, std::span<const size_t> ends) {
  size_t at = start;
  while (at < ends.back()) {
    const ssize_t n = ::write(fd_, buffer.data() + at, ends.back() - at);
    if (n >= 0) {
      at += static_cast<size_t>(n);
      continue;
    }
    if (errno == EINTR) continue;
    const int error = errno;
    // The lines that reached the file whole stay; the start of the next one
    // goes, so the file ends with a whole line.
    for (size_t end : ends) {
      if (end > at) break;
      ++lines_on_disk_;
      bytes_on_disk_ += static_cast<off_t>(end - start);
      start = end;
    }
    if (::ftruncate(fd_, bytes_on_disk_) == 0) ::lseek(fd_, bytes_on_disk_, SEEK_SET);
    ThrowErrno("cannot write", path_, error);
  }
  lines_on_disk_ += ends.size();
  bytes_on_disk_ += static_cast<off_t>(ends.back() - start);
}

void CsvFile::Close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  try {
    Flush();
  } catch (...) {
    fd_ = -1;
    ::close(fd);
    throw;
  }
  fd_ = -1;
  if (::close(fd) != 0) ThrowErrno("cannot close", path_, errno);
}

void CsvFile::Reopen(const std::string& path, CsvEncoding encoding, off_t length) {
  path_ = path;
  encoding_ = encoding;
  buffer_.clear();
  line_ends_.clear();
  lines_on_disk_ = 0;
  bytes_on_disk_ = length;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd_ < 0) ThrowErrno("cannot open", path, errno);
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {  // held for the run, as a new file is
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    if (error == EWOULDBLOCK) throw OutputError("another run writes " + path);
    ThrowErrno("cannot open", path, error);
  }
  const off_t size = ::lseek(fd_, 0, SEEK_END);
  if (size < length || ::ftruncate(fd_, length) != 0 || ::lseek(fd_, length, SEEK_SET) != length) {
    const int error = size < length ? EINVAL : errno;
    ::close(fd_);
    fd_ = -1;
    if (size >= 0 && size < length) {
      throw OutputError(path + " is shorter (" + std::to_string(size) + " bytes) than the run wrote (" +
                        std::to_string(length) + ")");
    }
    ThrowErrno("cannot cut back", path, error);
  }
}

void CsvFile::Sync() {
  if (fd_ < 0) return;
  Flush();
  if (::fdatasync(fd_) != 0) ThrowErrno("cannot sync", path_, errno);
}

}  // namespace valmeric
