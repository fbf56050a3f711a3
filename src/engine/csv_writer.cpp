#include "engine/csv_writer.h"

#include <fstream>
#include <iterator>

#include "common/platform/utf8_path.h"
#include "common/text/crc32.h"
#include "common/text/text_encoding.h"
#include "messages/detail_text.h"

namespace valmeric {

const char* EncodingName(CsvEncoding encoding) {
  return encoding == CsvEncoding::kUtf8 ? "utf-8" : "cp932";
}

std::optional<CsvEncoding> EncodingNamed(std::string_view name) {
  for (CsvEncoding encoding : {CsvEncoding::kCp932, CsvEncoding::kUtf8}) {
    if (name == EncodingName(encoding)) return encoding;
  }
  return std::nullopt;
}

namespace {

[[noreturn]] void ThrowFileError(const char* what, const std::string& path,
                                 const std::string& why) {
  throw OutputError(FileDetail(what, path, why));
}

// The lines of path from offset on that end with CR LF outside a quoted
// field; offset is where a line begins.
size_t WholeLinesFrom(const std::string& path, std::int64_t offset) {
  std::ifstream file(PathFromUtf8(path), std::ios::binary);
  if (!file.seekg(offset)) return 0;
  size_t lines = 0;
  bool quoted = false;
  char last = '\0';
  for (auto byte = std::istreambuf_iterator<char>(file); byte != std::istreambuf_iterator<char>();
       ++byte) {
    if (*byte == '"') quoted = !quoted;
    if (*byte == '\n' && last == '\r' && !quoted) ++lines;
    last = *byte;
  }
  return lines;
}

}  // namespace

const std::array<std::string, 8>& CsvColumnTitles() {
  static const std::array<std::string, 8> titles = {
      Utf8ToSjis("病院ID"),   Utf8ToSjis("病院名"),       Utf8ToSjis("郵便番号"),
      Utf8ToSjis("住所"),     Utf8ToSjis("電話番号"),     Utf8ToSjis("最寄駅"),
      Utf8ToSjis("診療科目"), Utf8ToSjis("詳細ページURL")};
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

bool StartsLikeAFormula(std::string_view field) {
  constexpr std::string_view kFormulaStarts = "=+-@\t\r";
  return !field.empty() && kFormulaStarts.find(field.front()) != std::string_view::npos;
}

std::string_view WithoutFormulaGuard(std::string_view field) {
  if (field.starts_with('\'') && StartsLikeAFormula(field.substr(1))) field.remove_prefix(1);
  return field;
}

void AppendCsvField(std::string& line, std::string_view field) {
  line.push_back('"');
  if (StartsLikeAFormula(field)) line.push_back('\'');
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
  if (!file_.is_open()) return;
  try {
    Flush();
  } catch (const OutputError&) {  // the run reports the first failure; here only close
  }
  file_.Close();
}

void CsvFile::OpenLocked(const std::string& path, NativeFile::Mode mode) {
  const bool opened = file_.Open(path, mode);
  created_ = file_.created();
  if (!opened) ThrowFileError(detail::kCannotOpen, path, file_.error());
  // Held for the whole run, so no other run takes the same file.
  const NativeFile::LockResult lock = file_.TryLock();
  if (lock == NativeFile::LockResult::kLocked) return;
  const std::string why = file_.error();
  file_.Close();
  if (lock == NativeFile::LockResult::kHeldElsewhere)
    throw OutputInUseError(Detail(detail::kAnotherRunWrites, path));
  ThrowFileError(detail::kCannotOpen, path, why);
}

void CsvFile::Open(const std::string& path, CsvEncoding encoding) {
  path_ = path;
  encoding_ = encoding;
  buffer_.clear();
  line_ends_.clear();
  lines_on_disk_ = 0;
  bytes_on_disk_ = 0;
  crc_on_disk_ = 0;
  OpenLocked(path, NativeFile::Mode::kWriteCreate);
  // Emptied only once it is ours.
  if (file_.IsRegularFile() && !file_.Truncate(0)) {
    const std::string why = file_.error();
    file_.Close();
    ThrowFileError(detail::kCannotOpen, path, why);
  }
  if (encoding_ == CsvEncoding::kUtf8) buffer_.append(kUtf8Bom);
}

void CsvFile::WriteLine(std::string_view text) {
  if (!file_.is_open()) throw OutputError(detail::kOutputNotOpen);
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
    const long long n = file_.WriteSome(buffer.data() + at, ends.back() - at);
    if (n >= 0) {
      at += static_cast<size_t>(n);
      continue;
    }
    const std::string why = file_.error();
    // The lines that reached the file whole stay; the start of the next one
    // goes, so the file ends with a whole line.
    for (size_t end : ends) {
      if (end > at) break;
      ++lines_on_disk_;
      bytes_on_disk_ += static_cast<std::int64_t>(end - start);
      crc_on_disk_ = Crc32(buffer.substr(start, end - start), crc_on_disk_);
      start = end;
    }
    file_.Truncate(static_cast<std::uint64_t>(bytes_on_disk_));
    ThrowFileError(detail::kCannotWrite, path_, why);
  }
  lines_on_disk_ += ends.size();
  bytes_on_disk_ += static_cast<std::int64_t>(ends.back() - start);
  crc_on_disk_ = Crc32(buffer.substr(start, ends.back() - start), crc_on_disk_);
}

void CsvFile::Close() {
  if (!file_.is_open()) return;
  try {
    Flush();
  } catch (...) {
    file_.Close();
    throw;
  }
  if (!file_.Close()) ThrowFileError(detail::kCannotClose, path_, file_.error());
}

void CsvFile::Discard() {
  buffer_.clear();
  line_ends_.clear();
  file_.Close();
  if (created_) RemoveFile(path_);
  created_ = false;
}

void CsvFile::Reopen(const std::string& path, CsvEncoding encoding, std::int64_t length,
                     std::uint32_t crc) {
  path_ = path;
  encoding_ = encoding;
  buffer_.clear();
  line_ends_.clear();
  lines_on_disk_ = 0;
  bytes_on_disk_ = length;
  crc_on_disk_ = crc;
  try {
    OpenLocked(path, NativeFile::Mode::kWriteExisting);
    CutTo(length);
  } catch (const OutputError&) {
    // The file stays as it is: the whole lines past length are on disk too.
    lines_on_disk_ = WholeLinesFrom(path, length);
    throw;
  }
}

void CsvFile::CutTo(std::int64_t length) {
  const std::string& path = path_;
  const std::optional<std::uint64_t> size = file_.Size();
  const auto wanted = static_cast<std::uint64_t>(length);
  if (size && *size < wanted) {
    file_.Close();
    throw OutputError(
        Detail(detail::kShorterThanRecorded,
               path + ": " + std::to_string(*size) + " / " + std::to_string(length) + " bytes"));
  }
  if (!size || !file_.Truncate(wanted)) {
    const std::string why = file_.error();
    file_.Close();
    ThrowFileError(detail::kCannotCutBack, path, why);
  }
}

void CsvFile::Sync() {
  if (!file_.is_open()) return;
  Flush();
  if (!file_.SyncData()) ThrowFileError(detail::kCannotSync, path_, file_.error());
}

}  // namespace valmeric
