#include "refdb/database_file.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

#include "common/platform/utf8_path.h"
#include "messages/detail_text.h"
#include "refdb/sqlite_db.h"

namespace valmeric {
namespace {

namespace fs = std::filesystem;

// The WAL format (sqlite.org/fileformat2.html): a 32-byte header, then frames
// of a 24-byte header and one page. Numbers are big-endian; the checksums run
// over 32-bit words in the byte order the magic number's low bit names.
constexpr std::uint32_t kWalMagic = 0x377f0682;
constexpr std::uint32_t kWalVersion = 3007000;
constexpr size_t kWalHeaderSize = 32;
constexpr size_t kFrameHeaderSize = 24;

std::uint32_t BigEndian(const unsigned char* bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
         std::uint32_t{bytes[2]} << 8 | bytes[3];
}

std::uint32_t Word(const unsigned char* bytes, bool big_endian) {
  return big_endian ? BigEndian(bytes)
                    : std::uint32_t{bytes[3]} << 24 | std::uint32_t{bytes[2]} << 16 |
                          std::uint32_t{bytes[1]} << 8 | bytes[0];
}

struct Checksum {
  bool big_endian = false;
  std::array<std::uint32_t, 2> sum{};

  void Add(const unsigned char* bytes, size_t size) {
    for (size_t i = 0; i + 8 <= size; i += 8) {
      sum[0] += Word(bytes + i, big_endian) + sum[1];
      sum[1] += Word(bytes + i + 4, big_endian) + sum[0];
    }
  }
  bool Matches(const unsigned char* stored) const {
    return BigEndian(stored) == sum[0] && BigEndian(stored + 4) == sum[1];
  }
};

bool ValidPageSize(std::uint32_t size) {
  return size >= 512 && size <= 65536 && (size & (size - 1)) == 0;
}

// Reads the header; the page size, with the checksum started, when it is one
// SQLite would read.
std::optional<std::uint32_t> ReadWalHeader(std::ifstream& wal, unsigned char* header,
                                           Checksum& checksum) {
  if (!wal.read(reinterpret_cast<char*>(header), kWalHeaderSize)) return std::nullopt;
  const std::uint32_t magic = BigEndian(header);
  const std::uint32_t page_size = BigEndian(header + 8);
  if ((magic & ~1u) != kWalMagic || BigEndian(header + 4) != kWalVersion ||
      !ValidPageSize(page_size)) {
    return std::nullopt;
  }
  checksum.big_endian = (magic & 1) != 0;
  checksum.Add(header, kWalHeaderSize - 8);
  if (!checksum.Matches(header + kWalHeaderSize - 8)) return std::nullopt;
  return page_size;
}

// The database file's header: its first 100 bytes, when it has them and
// they begin as SQLite's do.
std::optional<std::array<unsigned char, 100>> FileHeader(const std::string& path) {
  std::ifstream file(PathFromUtf8(path), std::ios::binary);
  std::array<unsigned char, 100> header{};
  if (!file.read(reinterpret_cast<char*>(header.data()), header.size())) return std::nullopt;
  if (std::string_view(reinterpret_cast<const char*>(header.data()), 16) !=
      std::string_view("SQLite format 3\0", 16)) {
    return std::nullopt;
  }
  return header;
}

// Where page 1 holds the application id, which ReferenceDb sets afresh
// for each stretch of write-ahead logging.
constexpr size_t kApplicationIdOffset = 68;

// What SQLite would read from a WAL file: whether it holds a committed
// transaction, and the application ids of the committed images of page 1.
struct WalCommits {
  bool any = false;
  std::vector<std::uint32_t> page_one_ids;
};

WalCommits ReadWalCommits(const std::string& wal_path) {
  WalCommits commits;
  std::ifstream wal(PathFromUtf8(wal_path), std::ios::binary);
  unsigned char header[kWalHeaderSize];
  Checksum checksum;
  const std::optional<std::uint32_t> page_size = ReadWalHeader(wal, header, checksum);
  if (!page_size) return commits;
  std::vector<unsigned char> frame(kFrameHeaderSize + *page_size);
  std::vector<std::uint32_t> pending;  // page 1's ids since the last commit
  while (
      wal.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(frame.size()))) {
    // A frame counts when its page number is set, its salts are the header's
    // and the running checksum holds; the first that fails ends the log.
    const std::uint32_t page = BigEndian(frame.data());
    if (page == 0 || !std::equal(frame.begin() + 8, frame.begin() + 16, header + 16)) break;
    checksum.Add(frame.data(), 8);
    checksum.Add(frame.data() + kFrameHeaderSize, *page_size);
    if (!checksum.Matches(frame.data() + 16)) break;
    if (page == 1)
      pending.push_back(BigEndian(frame.data() + kFrameHeaderSize + kApplicationIdOffset));
    if (BigEndian(frame.data() + 4) == 0) continue;  // not a commit: no database size after it
    commits.any = true;
    commits.page_one_ids.insert(commits.page_one_ids.end(), pending.begin(), pending.end());
    pending.clear();
  }
  return commits;
}

// Why the database read through its -wal is unsound (SQLite's words, or
// none when the file then is no database at all); nothing when it is sound
// or cannot be read now (locked, no -shm on read-only media), which the
// opening that follows tells.
std::optional<std::string> UnsoundThroughWal(const std::string& path) {
  try {
    Database db(path, DbAccess::kReadOnly);
    Statement check = db.Prepare("PRAGMA quick_check(1)");
    const std::string verdict = check.Step() ? check.ColumnText(0) : std::string();
    if (verdict == "ok") return std::nullopt;
    return verdict;
  } catch (const DbError& error) {
    const int primary = error.code() & 0xFF;
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) return std::string();
    return std::nullopt;
  }
}

// For a file in write-ahead-log mode, why its -wal is not its own: a page 1
// of another application id, or of none (a file the program has not
// opened since it set one), or a database that reads unsound through it.
std::optional<std::string> ForeignToItsFile(const std::string& path, const std::string& wal,
                                            const WalCommits& commits,
                                            const std::array<unsigned char, 100>& header) {
  const std::uint32_t id = BigEndian(header.data() + kApplicationIdOffset);
  for (const std::uint32_t page_one_id : commits.page_one_ids) {
    if (id == 0 || page_one_id != id) return wal;
  }
  const auto unsound = UnsoundThroughWal(path);
  if (!unsound) return std::nullopt;
  return unsound->empty() ? wal : wal + ": " + *unsound;
}

// Why the -wal beside the database cannot be its own: its path, with
// SQLite's words when there are some; none when it can be, or holds nothing.
std::optional<std::string> WalProblem(const std::string& path) {
  const std::string wal = path + "-wal";
  // Looked at twice: a run of another process may end between the looks
  // (the -wal goes first, then the file's mode) or begin (the mode first).
  for (int look = 0; look < 2; ++look) {
    const auto header = FileHeader(path);
    const WalCommits commits = ReadWalCommits(wal);
    if (!commits.any) return std::nullopt;
    if (header && (*header)[19] == 2) return ForeignToItsFile(path, wal, commits, *header);
  }
  return wal;
}

}  // namespace

bool WalHoldsCommit(const std::string& wal_path) {
  return ReadWalCommits(wal_path).any;
}

bool InWalMode(const std::string& path) {
  // Byte 19: the version to read with, 2 for write-ahead logging.
  const auto header = FileHeader(path);
  return header && (*header)[19] == 2;
}

DatabaseFileState LookAtDatabaseFile(const std::string& path) {
  const fs::path file = PathFromUtf8(path);
  std::error_code error;
  const fs::file_status status = fs::status(file, error);
  if (status.type() == fs::file_type::not_found) return DatabaseFileState::kMissing;
  if (error) return DatabaseFileState::kUnreadable;
  if (!fs::is_regular_file(status)) return DatabaseFileState::kNotADatabase;
  if (!std::ifstream(file, std::ios::binary)) return DatabaseFileState::kUnreadable;
  return FileHeader(path) ? DatabaseFileState::kPresent : DatabaseFileState::kNotADatabase;
}

void CheckDatabaseFile(const std::string& path) {
  const fs::path file = PathFromUtf8(path);
  std::error_code error;
  if (!fs::is_regular_file(file, error)) {
    throw DbError(SQLITE_CANTOPEN, Detail(detail::kDatabaseNotFound, path));
  }
  if (fs::file_size(file, error) == 0 && !error) {
    throw DbError(SQLITE_NOTADB, Detail(detail::kDatabaseEmpty, path));
  }
  if (const auto wal = WalProblem(path)) {
    throw DbError(SQLITE_NOTADB, Detail(detail::kStrayWal, *wal));
  }
}

}  // namespace valmeric
