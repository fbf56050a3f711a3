#include "engine/recorded_run_check.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "common/platform/utf8_path.h"
#include "common/text/crc32.h"
#include "common/text/text_encoding.h"
#include "messages/check_text.h"

namespace valmeric {
namespace {

namespace fs = std::filesystem;

constexpr int kLastCategory = 10;
constexpr int kLastPrefecture = 47;

bool CodesInRange(const std::vector<int>& codes, int last) {
  if (codes.empty()) return false;
  for (size_t i = 0; i < codes.size(); ++i) {
    if (codes[i] < 1 || codes[i] > last) return false;
    if (i > 0 && codes[i] <= codes[i - 1]) return false;
  }
  return true;
}

std::string Value(std::string_view column, std::int64_t value) {
  return std::string(column) + " = " + std::to_string(value);
}

// The first index outside [0, end), if any.
std::optional<int> IndexOutside(const std::vector<int>& indexes, int end) {
  for (int index : indexes) {
    if (index < 0 || index >= end) return index;
  }
  return std::nullopt;
}

std::optional<std::string> SelectionProblem(const JournalRun& run) {
  if (!CodesInRange(run.categories, kLastCategory))
    return std::string(check_text::kRecordedCategories) + " (T03_Run.Categories)";
  if (!CodesInRange(run.prefectures, kLastPrefecture))
    return std::string(check_text::kRecordedPrefectures) + " (T03_Run.Prefectures)";
  if (!EncodingNamed(run.encoding))
    return std::string(check_text::kRecordedEncoding) + " (T03_Run.Encoding = " + run.encoding +
           ")";
  if (run.output_path.empty() || !PathFromUtf8(run.output_path).is_absolute())
    return std::string(check_text::kRecordedOutput) + " (T03_Run.OutputPath)";
  return std::nullopt;
}

// The pair whose later pages were under way, as recorded.
std::optional<std::string> PairProblem(const PairInProgress& pair, int plan_end,
                                       const std::string& wrong) {
  if (pair.index < -1 || pair.index >= plan_end)
    return wrong + Value("T03_Run.PairIndex", pair.index) + ")";
  if (pair.pages < 0 || pair.pages > kMostPagesOfAPair)
    return wrong + Value("T03_Run.PairPages", pair.pages) + ")";
  if (pair.announced < 0) return wrong + Value("T03_Run.PairAnnounced", pair.announced) + ")";
  if (pair.listed < 0) return wrong + Value("T03_Run.PairListed", pair.listed) + ")";
  return std::nullopt;
}

std::optional<std::string> CountsProblem(const JournalRun& run, const RecordedIndexes& indexes) {
  const auto header = static_cast<std::int64_t>(
      CommittedHeader(EncodingNamed(run.encoding).value_or(CsvEncoding::kCp932)).size());
  const RunProgress& progress = run.progress;
  const std::string wrong = std::string(check_text::kRecordedCounts) + " (";
  if (run.too_wide) return wrong + Value(run.too_wide->column, run.too_wide->value) + ")";
  if (progress.plan_size < -1) return wrong + Value("T03_Run.PlanSize", progress.plan_size) + ")";
  const int plan_end = std::max(progress.plan_size, 0);
  if (progress.next_entry < 0 || progress.next_entry > plan_end)
    return wrong + Value("T03_Run.EntriesDone", progress.next_entry) + ")";
  if (progress.facilities_written < 0)
    return wrong + Value("T03_Run.FacilitiesWritten", progress.facilities_written) + ")";
  // The plan's size and the header are committed together, by the first
  // checkpoint: before it nothing is recorded but the selection.
  const bool before_first_checkpoint = progress.csv_bytes == 0;
  if (before_first_checkpoint ? progress.plan_size >= 0 || progress.facilities_written > 0
                              : progress.csv_bytes < header || progress.plan_size < 0) {
    return wrong + Value("T03_Run.CsvBytes", progress.csv_bytes) + ")";
  }
  if (progress.csv_crc && (*progress.csv_crc < 0 || *progress.csv_crc > 0xFFFFFFFFll))
    return wrong + Value("T03_Run.CsvCrc", *progress.csv_crc) + ")";
  if (const auto index = IndexOutside(indexes.not_fetched, progress.next_entry))
    return wrong + Value("T04_NotFetched.PlanIndex", *index) + ")";
  if (const auto index = IndexOutside(indexes.beyond_first_page, progress.next_entry))
    return wrong + Value("T05_MorePages.PlanIndex", *index) + ")";
  return PairProblem(progress.pair, plan_end, wrong);
}

// What the first bytes of a file tell of it.
struct Prefix {
  std::string start;  // the first bytes, as many as the header has
  std::int64_t read = 0;
  std::uint32_t crc = 0;
  int lines = 0;  // line ends outside quoted fields
  bool ends_a_line = false;
};

Prefix ReadPrefix(std::ifstream& file, std::int64_t length, size_t start_size) {
  Prefix prefix;
  std::string chunk(1 << 20, '\0');
  bool quoted = false;
  char last = '\0';
  for (std::int64_t left = length; left > 0 && file;) {
    const auto want = static_cast<std::streamsize>(std::min<std::int64_t>(left, chunk.size()));
    file.read(chunk.data(), want);
    const auto got = static_cast<size_t>(file.gcount());
    if (got == 0) break;
    const std::string_view bytes(chunk.data(), got);
    if (prefix.start.size() < start_size)
      prefix.start.append(bytes.substr(0, start_size - prefix.start.size()));
    prefix.crc = Crc32(bytes, prefix.crc);
    // A double quote never occurs as the second byte of a CP932 or UTF-8
    // character, so quotes are counted byte by byte.
    for (const char byte : bytes) {
      if (byte == '"') quoted = !quoted;
      if (byte == '\n' && last == '\r' && !quoted) ++prefix.lines;
      last = byte;
    }
    left -= static_cast<std::int64_t>(got);
    prefix.read += static_cast<std::int64_t>(got);
  }
  prefix.ends_a_line = last == '\n' && !quoted;
  return prefix;
}

}  // namespace

std::string CommittedHeader(CsvEncoding encoding) {
  const std::string header = CsvHeaderLine() + "\r\n";
  return encoding == CsvEncoding::kUtf8 ? std::string(kUtf8Bom) + SjisToUtf8(header) : header;
}

std::optional<std::string> RecordProblem(const JournalRun& run, const RecordedIndexes& indexes) {
  if (auto problem = SelectionProblem(run)) return problem;
  return CountsProblem(run, indexes);
}

std::optional<std::string> OutputProblem(const JournalRun& run, CsvEncoding encoding) {
  const fs::path output = PathFromUtf8(run.output_path);
  const RunProgress& progress = run.progress;
  const std::string header = CommittedHeader(encoding);
  std::error_code error;
  const bool exists = fs::exists(output, error);
  if (exists && !fs::is_regular_file(output, error)) return check_text::kNotAFile;
  const std::uintmax_t size = exists ? fs::file_size(output, error) : 0;
  if (error) return std::string(check_text::kSizeUnreadable) + " (" + error.message() + ")";
  const auto wanted = static_cast<std::uintmax_t>(progress.csv_bytes);
  if (progress.csv_bytes == 0 && !exists) return std::nullopt;  // stopped before it made its file
  // Before the first checkpoint the run's file holds its header at most.
  if (progress.csv_bytes == 0 && size > header.size()) return check_text::kLinesNotThereThen;
  if (size < wanted) {
    return exists ? ShorterThanRecorded(wanted, size) : check_text::kFileMissing;
  }
  std::ifstream file(output, std::ios::binary);
  if (!file) return check_text::kFileUnreadable;
  // Before the first checkpoint the file may hold the header, or part of it.
  const std::int64_t length =
      progress.csv_bytes > 0 ? progress.csv_bytes : static_cast<std::int64_t>(size);
  const Prefix prefix = ReadPrefix(file, length, header.size());
  if (prefix.read < length) return check_text::kFileReadShort;
  if (header.compare(0, prefix.start.size(), prefix.start) != 0) return check_text::kOtherHeader;
  if (progress.csv_bytes == 0) return std::nullopt;
  if (!prefix.ends_a_line) return check_text::kMidLine;
  if (prefix.lines - 1 != progress.facilities_written) {
    return LinesDisagree(progress.facilities_written, prefix.lines - 1);
  }
  if (progress.csv_crc && static_cast<std::uint32_t>(*progress.csv_crc) != prefix.crc)
    return check_text::kContentChanged;
  return std::nullopt;
}

}  // namespace valmeric
