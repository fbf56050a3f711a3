#pragma once

// Every SQL statement of the program. Values travel as bound parameters; the
// plan's conditions hold only codes the program itself counts.

#include <string>
#include <vector>

namespace valmeric::sql {

inline constexpr char kClearSeenCodes[] = "DELETE FROM T00_Data";
inline constexpr char kSelectSeenCode[] = "SELECT Hsp_code FROM T00_Data WHERE Hsp_code = ?";
inline constexpr char kInsertSeenCode[] = "INSERT INTO T00_Data (Hsp_code) VALUES (?)";
inline constexpr char kSeenCodeIndex[] =
    "CREATE INDEX IF NOT EXISTS T00_Data_Hsp_code ON T00_Data (Hsp_code)";

inline constexpr char kClearCities[] = "DELETE FROM T01_City";
inline constexpr char kInsertCity[] =
    "INSERT INTO T01_City (AreaCode, CityName, CItyCode) VALUES (?, ?, ?)";
inline constexpr char kClearSubCategories[] = "DELETE FROM T02_Category";
inline constexpr char kInsertSubCategory[] =
    "INSERT INTO T02_Category (CtgrCode, SubCtgrName, SubCtgrCode) VALUES (?, ?, ?)";

// A run takes back a plan entry cut short to this savepoint.
inline constexpr char kSetSavepoint[] = "SAVEPOINT entry";
inline constexpr char kReleaseSavepoint[] = "RELEASE entry";
inline constexpr char kUndoToSavepoint[] = "ROLLBACK TO entry";

// The codes that have at least one row in each reference table.
inline constexpr char kPrefecturesWithCities[] = "SELECT DISTINCT AreaCode FROM T01_City";
inline constexpr char kCategoriesWithSubCategories[] = "SELECT DISTINCT CtgrCode FROM T02_Category";
// The run journal: one row for the run, the plan entries it could not fetch
// and the pairs whose first result page did not hold every facility.
inline constexpr const char* kJournalSchema[] = {
    ("CREATE TABLE IF NOT EXISTS T03_Run (ID INTEGER PRIMARY KEY CHECK (ID = 1), "
     "Categories TEXT NOT NULL, Prefectures TEXT NOT NULL, OutputPath BLOB NOT NULL, "
     "Encoding TEXT NOT NULL, PlanSize INTEGER NOT NULL, PlanCheck INTEGER NOT NULL, "
     "EntriesDone INTEGER NOT NULL, CsvBytes INTEGER NOT NULL, FacilitiesWritten INTEGER NOT "
     "NULL, CsvCrc INTEGER, EntriesSkipped INTEGER NOT NULL DEFAULT 0, CountsUnreadable INTEGER "
     "NOT "
     "NULL DEFAULT 0)"),
    ("CREATE TABLE IF NOT EXISTS T04_NotFetched (PlanIndex INTEGER PRIMARY KEY, PlanEntry TEXT NOT "
     "NULL, Status INTEGER NOT NULL DEFAULT 0)"),
    ("CREATE TABLE IF NOT EXISTS T05_MorePages (PlanIndex INTEGER PRIMARY KEY, AreaCode TEXT NOT "
     "NULL, "
     "SubCtgrCode TEXT NOT NULL, Announced INTEGER NOT NULL, Listed INTEGER NOT NULL)"),
    // What the pages read so far of the pair in progress held: their
    // addresses (Kind 0) and the facility codes they listed (Kind 1).
    ("CREATE TABLE IF NOT EXISTS T06_PairRead (Kind INTEGER NOT NULL, Value BLOB NOT NULL, "
     "PRIMARY KEY (Kind, Value)) WITHOUT ROWID"),
};
// Columns that came after the first layout of the journal's tables: a
// database of that layout gains them (the journal's rows kept).
struct AddedColumn {
  const char* table;
  const char* column;
  const char* add;
};
inline constexpr AddedColumn kJournalAddedColumns[] = {
    {"T03_Run", "CsvCrc", "ALTER TABLE T03_Run ADD COLUMN CsvCrc INTEGER"},
    {"T04_NotFetched", "Status",
     "ALTER TABLE T04_NotFetched ADD COLUMN Status INTEGER NOT NULL DEFAULT 0"},
    {"T03_Run", "EntriesSkipped",
     "ALTER TABLE T03_Run ADD COLUMN EntriesSkipped INTEGER NOT NULL DEFAULT 0"},
    {"T03_Run", "CountsUnreadable",
     "ALTER TABLE T03_Run ADD COLUMN CountsUnreadable INTEGER NOT NULL DEFAULT 0"},
    {"T03_Run", "PairsUnaskable",
     "ALTER TABLE T03_Run ADD COLUMN PairsUnaskable INTEGER NOT NULL DEFAULT 0"},
    // The result pages after the first: the run's page scope, the pair in
    // progress, the page of a pair that failed and how a pair's pages ended.
    {"T03_Run", "PageMode", "ALTER TABLE T03_Run ADD COLUMN PageMode INTEGER NOT NULL DEFAULT 0"},
    {"T03_Run", "PairIndex",
     "ALTER TABLE T03_Run ADD COLUMN PairIndex INTEGER NOT NULL DEFAULT -1"},
    {"T03_Run", "PairPages", "ALTER TABLE T03_Run ADD COLUMN PairPages INTEGER NOT NULL DEFAULT 0"},
    {"T03_Run", "NextPageUrl",
     "ALTER TABLE T03_Run ADD COLUMN NextPageUrl BLOB NOT NULL DEFAULT ''"},
    {"T03_Run", "PairAnnounced",
     "ALTER TABLE T03_Run ADD COLUMN PairAnnounced INTEGER NOT NULL DEFAULT 0"},
    {"T03_Run", "PairListed",
     "ALTER TABLE T03_Run ADD COLUMN PairListed INTEGER NOT NULL DEFAULT 0"},
    {"T03_Run", "LaterPages",
     "ALTER TABLE T03_Run ADD COLUMN LaterPages INTEGER NOT NULL DEFAULT 0"},
    {"T04_NotFetched", "Page",
     "ALTER TABLE T04_NotFetched ADD COLUMN Page INTEGER NOT NULL DEFAULT 1"},
    {"T05_MorePages", "PagesEnd",
     "ALTER TABLE T05_MorePages ADD COLUMN PagesEnd INTEGER NOT NULL DEFAULT 0"},
    // The list the run replaced, where it was kept, when it was collected
    // with the same ticks and encoding, and that run's page scope (-1: none).
    {"T03_Run", "PreviousPath",
     "ALTER TABLE T03_Run ADD COLUMN PreviousPath BLOB NOT NULL DEFAULT ''"},
    {"T03_Run", "PreviousPageMode",
     "ALTER TABLE T03_Run ADD COLUMN PreviousPageMode INTEGER NOT NULL DEFAULT -1"},
};
inline constexpr char kJournalVersion[] = "PRAGMA user_version = 5";
inline constexpr char kHasColumn[] = "SELECT 1 FROM pragma_table_info(?) WHERE name = ?";
inline constexpr char kJournalExists[] =
    "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'T03_Run'";
// The answers that say a page does not exist: its entries are gone from the
// site, which itself still answers.
inline constexpr char kGoneStatuses[] = "(404, 410)";
// Proves that the database takes the run's writes, changing nothing.
inline constexpr char kTouchRun[] = "UPDATE T03_Run SET EntriesDone = EntriesDone WHERE ID = 1";
inline constexpr char kClearRun[] = "DELETE FROM T03_Run";
inline constexpr char kClearNotFetched[] = "DELETE FROM T04_NotFetched";
inline constexpr char kClearMorePages[] = "DELETE FROM T05_MorePages";
inline constexpr char kClearPairRead[] = "DELETE FROM T06_PairRead";
inline constexpr char kInsertPairRead[] =
    "INSERT OR IGNORE INTO T06_PairRead (Kind, Value) VALUES (?, ?)";
inline constexpr char kSelectPairRead[] = "SELECT Kind, Value FROM T06_PairRead";
inline constexpr char kSetPageMode[] = "UPDATE T03_Run SET PageMode = ? WHERE ID = 1";
inline constexpr char kSetPrevious[] =
    "UPDATE T03_Run SET PreviousPath = ?, PreviousPageMode = ? WHERE ID = 1";
inline constexpr char kInsertRun[] =
    "INSERT INTO T03_Run (ID, Categories, Prefectures, OutputPath, Encoding, PlanSize, PlanCheck, "
    "EntriesDone, CsvBytes, FacilitiesWritten) VALUES (1, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
inline constexpr char kSaveProgress[] =
    "UPDATE T03_Run SET PlanSize = ?, PlanCheck = ?, EntriesDone = ?, CsvBytes = ?, "
    "FacilitiesWritten = ?, CsvCrc = ?, EntriesSkipped = ?, CountsUnreadable = ?, "
    "PairsUnaskable = ?, PairIndex = ?, PairPages = ?, NextPageUrl = ?, PairAnnounced = ?, "
    "PairListed = ?, LaterPages = ? WHERE ID = 1";
inline constexpr char kSelectNotFetched[] =
    "SELECT PlanIndex FROM T04_NotFetched ORDER BY PlanIndex";
inline constexpr char kInsertNotFetched[] =
    "INSERT OR REPLACE INTO T04_NotFetched (PlanIndex, PlanEntry, Status, Page) VALUES (?, ?, ?, "
    "?)";
inline constexpr char kDeleteNotFetched[] = "DELETE FROM T04_NotFetched WHERE PlanIndex = ?";
inline constexpr char kDeleteNotFetchedFrom[] = "DELETE FROM T04_NotFetched WHERE PlanIndex >= ?";
std::string SelectMorePagesQuery(bool has_pages_end);
inline constexpr char kInsertMorePages[] =
    "INSERT OR REPLACE INTO T05_MorePages (PlanIndex, AreaCode, SubCtgrCode, Announced, Listed, "
    "PagesEnd) VALUES (?, ?, ?, ?, ?, ?)";
inline constexpr char kDeleteMorePages[] = "DELETE FROM T05_MorePages WHERE PlanIndex = ?";

// The first plan index or count of the tables of entries that an int cannot
// hold (bound: its least and greatest value), with its table and column.
inline constexpr char kFirstWideEntryNumber[] =
    "SELECT 'T04_NotFetched.PlanIndex', PlanIndex FROM T04_NotFetched "
    "WHERE PlanIndex NOT BETWEEN ?1 AND ?2 "
    "UNION ALL SELECT 'T05_MorePages.PlanIndex', PlanIndex FROM T05_MorePages "
    "WHERE PlanIndex NOT BETWEEN ?1 AND ?2 "
    "UNION ALL SELECT 'T05_MorePages.Announced', Announced FROM T05_MorePages "
    "WHERE Announced NOT BETWEEN ?1 AND ?2 "
    "UNION ALL SELECT 'T05_MorePages.Listed', Listed FROM T05_MorePages "
    "WHERE Listed NOT BETWEEN ?1 AND ?2 LIMIT 1";

// The recorded run: a database of an earlier journal layout, which a run has
// not upgraded yet, is read as it is (no fingerprint, no statuses, no
// counts of entries skipped, counts unreadable and pairs never asked for, no
// page scope, no pair in progress and no previous list, as it lacks them).
std::string SelectRunQuery(bool has_crc, bool has_status, bool has_notes, bool has_pages,
                           bool has_previous);

// "SELECT SubCtgrCode, SubCtgrName FROM T02_Category WHERE CtgrCode = 1 OR ... ORDER BY ID"
std::string SubCategoryQuery(const std::vector<int>& category_codes);
// "SELECT AreaCode, CityCode, CityName FROM T01_City WHERE AreaCode = 1 OR ...
//  ORDER BY AreaCode, CityCode"
std::string CityQuery(const std::vector<int>& prefecture_codes);

}  // namespace valmeric::sql
