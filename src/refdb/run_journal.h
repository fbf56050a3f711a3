#pragma once

// The journal of a database's latest run: what it collects and where to, how
// far it got, the plan entries it could not fetch and the pairs whose result
// page announced more facilities than it listed. A run commits its progress
// here in the same transaction as the duplicate table, so the two always tell
// the same moment of the run. One run at a time per database: one row.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "refdb/run_progress.h"
#include "refdb/sqlite_db.h"

namespace valmeric {

// A number as the journal stores it, named by its table and column.
struct RecordedNumber {
  std::string column;  // "T03_Run.EntriesDone"
  std::int64_t value = 0;
};

// What is recorded about a run: its selection and file, and its progress as
// the last checkpoint committed it.
struct JournalRun {
  std::vector<int> categories;   // ascending
  std::vector<int> prefectures;  // ascending
  std::string output_path;       // absolute, in the file system's own spelling
  std::string encoding;          // "cp932" or "utf-8"
  PageScope pages = PageScope::kFirstPages;
  // Read back, entries_done and entries_total are the plan's: next_entry and plan_size.
  RunProgress progress;
  // The list this run replaced, kept under a dated name, when it was
  // collected with the same selection and encoding, and its page scope.
  std::string previous_path;
  std::optional<PageScope> previous_pages;
  // The first recorded count or plan index that an int cannot hold; the
  // progress then holds it cut to the nearest int, never wrapped round.
  std::optional<RecordedNumber> too_wide;
};

// Why a pair's pages ended before they listed what its first page announced.
enum class PagesEnd {
  kFirstPageOnly = 0,  // only the first page was read: the later ones are still to read
  kNoLink = 1,         // a page had no link to a next one
  kLoop = 2,           // a page linked to a page of the pair already read
  kNothingNew = 3,     // a page listed no facility the pair had not listed already
  kPageLimit = 4,      // the pair reached the most pages a pair is read
};

// A pair whose result pages announced more facilities than they listed.
struct PairBeyondFirstPage {
  int plan_index = 0;
  std::string area_code;          // "01101"
  std::string sub_category_code;  // "110"
  int announced = 0;
  int listed = 0;  // over the pages read
  PagesEnd end = PagesEnd::kFirstPageOnly;
};

// What the pages of the pair in progress held: page addresses and facility
// codes, as raw bytes.
struct PairRead {
  std::vector<std::string> pages;
  std::vector<std::string> codes;
};

// The journal's statements on one connection. Nothing here begins or commits:
// the caller holds the transaction (Database::Begin and Commit).
class RunJournal final {
 public:
  // Creates the journal's tables where they are missing, and the columns a
  // database of an earlier layout lacks; the other tables stay as they are.
  // Throws DbError.
  static void EnsureSchema(Database& db);
  // The recorded run, or none when nothing is recorded or the database has
  // no journal yet. Every number is read at its full width: one that an int
  // cannot hold, here or in the tables of entries, is named in too_wide.
  // Writes nothing. Throws DbError.
  static std::optional<JournalRun> Read(Database& db);
  // Plan indexes recorded as not fetched, ascending.
  static std::vector<int> NotFetched(Database& db);
  static std::vector<PairBeyondFirstPage> BeyondFirstPage(Database& db);
  static PairRead ReadPairRead(Database& db);
  // Records the scope a run goes on with. Needs the tables.
  static void SetPageScope(Database& db, PageScope pages);
  // Drops whatever was recorded and records run from its start (its counts
  // and previous list are taken as they are). Needs the tables.
  static void StartNew(Database& db, const JournalRun& run);
  // Drops whatever was recorded. Needs the tables.
  static void Clear(Database& db);
  // Proves that the database takes the run's writes, changing nothing.
  static void Touch(Database& db);

  // Prepares the writes of a running run. Needs the tables.
  explicit RunJournal(Database& db);

  // Commits progress's place in the plan and the CSV's length, CRC and
  // record count; the other counts live in the tables of entries.
  void SaveProgress(const RunProgress& progress);
  // status: the site's last answer (404 or 410 for a page that does not
  // exist), 0 when none came; page: the pair's page that failed (1: its first).
  void AddNotFetched(int plan_index, const std::string& plan_entry, long status, int page = 1);
  void RemoveNotFetched(int plan_index);
  // Drops the not-fetched entries from plan_index on.
  void RemoveNotFetchedFrom(int plan_index);
  void AddBeyondFirstPage(const PairBeyondFirstPage& pair);
  void RemoveBeyondFirstPage(int plan_index);
  // The pair in progress: a page read and the codes it listed; cleared when
  // a pair's later pages begin or end.
  void AddPairPage(const std::string& url) { AddPairRead(0, url); }
  void AddPairCode(const std::string& code) { AddPairRead(1, code); }
  void ClearPairRead();

 private:
  void AddPairRead(int kind, const std::string& value);

  Statement save_;
  Statement add_not_fetched_;
  Statement remove_not_fetched_;
  Statement remove_not_fetched_from_;
  Statement add_beyond_;
  Statement remove_beyond_;
  Statement add_pair_read_;
  Statement clear_pair_read_;
};

// "1,2,13" and back; a piece that is not a number is left out.
std::string JoinCodes(const std::vector<int>& codes);
std::vector<int> SplitCodes(const std::string& text);

}  // namespace valmeric
