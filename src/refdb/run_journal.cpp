#include "refdb/run_journal.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

#include "refdb/statements.h"

namespace valmeric {

std::string JoinCodes(const std::vector<int>& codes) {
  std::string text;
  for (int code : codes) {
    if (!text.empty()) text += ',';
    text += std::to_string(code);
  }
  return text;
}

std::vector<int> SplitCodes(const std::string& text) {
  std::vector<int> codes;
  size_t start = 0;
  while (start < text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    int code = 0;
    const char* first = text.data() + start;
    const char* last = text.data() + comma;
    const auto [end, error] = std::from_chars(first, last, code);
    if (error == std::errc() && end == last && first != last) codes.push_back(code);
    start = comma + 1;
  }
  return codes;
}

namespace {

bool HasColumn(Database& db, const char* table, const char* column) {
  Statement query = db.Prepare(sql::kHasColumn);
  query.BindText(1, table).BindText(2, column);
  return query.Step();
}

constexpr std::int64_t kIntMin = std::numeric_limits<int>::min();
constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();

// The column read at its full width into an int: a value an int cannot hold
// is cut to the nearest one, and the first such value is named in run.
int ReadInt(const Statement& query, int column, const char* name, JournalRun& run) {
  const std::int64_t value = query.ColumnInt(column);
  const std::int64_t fitted = std::clamp(value, kIntMin, kIntMax);
  if (fitted != value && !run.too_wide) run.too_wide = RecordedNumber{name, value};
  return static_cast<int>(fitted);
}

// The layout that reads later pages: its columns came together.
bool HasLaterPagesLayout(Database& db) {
  return HasColumn(db, "T03_Run", "LaterPages") && HasColumn(db, "T05_MorePages", "PagesEnd");
}

static_assert(static_cast<int>(PagesEnd::kPageLimit) == 4, "the run query counts PagesEnd 4");

// The page scope and the pair in progress, from column first on.
void ReadPages(const Statement& query, int first, JournalRun& run) {
  RunProgress& progress = run.progress;
  const std::int64_t scope = query.ColumnInt(first);
  run.pages = scope == 1   ? PageScope::kAllPages
              : scope == 2 ? PageScope::kMorePages
                           : PageScope::kFirstPages;
  progress.pair.index = ReadInt(query, first + 1, "T03_Run.PairIndex", run);
  progress.pair.pages = ReadInt(query, first + 2, "T03_Run.PairPages", run);
  progress.pair.next_url = query.ColumnBlob(first + 3);
  progress.pair.announced = ReadInt(query, first + 4, "T03_Run.PairAnnounced", run);
  progress.pair.listed = ReadInt(query, first + 5, "T03_Run.PairListed", run);
  progress.later_pages = ReadInt(query, first + 6, "T03_Run.LaterPages", run);
  progress.unlisted = static_cast<int>(std::clamp(query.ColumnInt(first + 7), kIntMin, kIntMax));
  progress.unlisted_pairs = static_cast<int>(query.ColumnInt(first + 8));
  progress.pairs_capped = static_cast<int>(query.ColumnInt(first + 9));
}

std::optional<RecordedNumber> FirstWideEntryNumber(Database& db) {
  Statement query = db.Prepare(sql::kFirstWideEntryNumber);
  query.BindInt(1, kIntMin).BindInt(2, kIntMax);
  if (!query.Step()) return std::nullopt;
  return RecordedNumber{query.ColumnText(0), query.ColumnInt(1)};
}

}  // namespace

void RunJournal::EnsureSchema(Database& db) {
  for (const char* statement : sql::kJournalSchema) db.Execute(statement);
  for (const sql::AddedColumn& added : sql::kJournalAddedColumns) {
    if (!HasColumn(db, added.table, added.column)) db.Execute(added.add);
  }
  db.Execute(sql::kJournalVersion);
}

std::optional<JournalRun> RunJournal::Read(Database& db) {
  if (!db.Prepare(sql::kJournalExists).Step()) return std::nullopt;
  Statement query = db.Prepare(sql::SelectRunQuery(
      HasColumn(db, "T03_Run", "CsvCrc"), HasColumn(db, "T04_NotFetched", "Status"),
      HasColumn(db, "T03_Run", "PairsUnaskable"), HasLaterPagesLayout(db),
      HasColumn(db, "T03_Run", "PreviousPageMode")));
  if (!query.Step()) return std::nullopt;
  JournalRun run;
  run.categories = SplitCodes(query.ColumnText(0));
  run.prefectures = SplitCodes(query.ColumnText(1));
  run.output_path = query.ColumnBlob(2);
  run.encoding = query.ColumnText(3);
  RunProgress& progress = run.progress;
  progress.plan_size = ReadInt(query, 4, "T03_Run.PlanSize", run);
  progress.plan_check = query.ColumnInt(5);
  progress.next_entry = ReadInt(query, 6, "T03_Run.EntriesDone", run);
  progress.csv_bytes = query.ColumnInt(7);
  progress.facilities_written = ReadInt(query, 8, "T03_Run.FacilitiesWritten", run);
  progress.not_fetched = static_cast<int>(query.ColumnInt(9));
  // The sum over the pairs may pass what an int holds; the run's count stops there too.
  progress.beyond_first_page = static_cast<int>(std::clamp(query.ColumnInt(10), kIntMin, kIntMax));
  progress.beyond_pairs = static_cast<int>(query.ColumnInt(11));
  if (!query.ColumnIsNull(12)) progress.csv_crc = query.ColumnInt(12);
  progress.gone = static_cast<int>(query.ColumnInt(13));
  progress.entries_skipped = ReadInt(query, 14, "T03_Run.EntriesSkipped", run);
  progress.counts_unreadable = ReadInt(query, 15, "T03_Run.CountsUnreadable", run);
  progress.pairs_unaskable = ReadInt(query, 16, "T03_Run.PairsUnaskable", run);
  ReadPages(query, 17, run);
  run.previous_path = query.ColumnBlob(27);
  if (const std::int64_t scope = query.ColumnInt(28); scope >= 0 && scope <= 2)
    run.previous_pages = static_cast<PageScope>(scope);
  progress.entries_done = progress.next_entry;
  progress.entries_total = progress.plan_size;
  if (!run.too_wide) run.too_wide = FirstWideEntryNumber(db);
  return run;
}

std::vector<int> RunJournal::NotFetched(Database& db) {
  std::vector<int> indexes;
  if (!db.Prepare(sql::kJournalExists).Step()) return indexes;
  Statement query = db.Prepare(sql::kSelectNotFetched);
  while (query.Step()) indexes.push_back(static_cast<int>(query.ColumnInt(0)));
  return indexes;
}

std::vector<PairBeyondFirstPage> RunJournal::BeyondFirstPage(Database& db) {
  std::vector<PairBeyondFirstPage> pairs;
  if (!db.Prepare(sql::kJournalExists).Step()) return pairs;
  Statement query =
      db.Prepare(sql::SelectMorePagesQuery(HasColumn(db, "T05_MorePages", "PagesEnd")));
  while (query.Step()) {
    const std::int64_t end = query.ColumnInt(5);
    pairs.push_back({static_cast<int>(query.ColumnInt(0)), query.ColumnText(1), query.ColumnText(2),
                     static_cast<int>(query.ColumnInt(3)), static_cast<int>(query.ColumnInt(4)),
                     end >= 0 && end <= 4 ? static_cast<PagesEnd>(end) : PagesEnd::kNoLink});
  }
  return pairs;
}

PairRead RunJournal::ReadPairRead(Database& db) {
  PairRead read;
  Statement query = db.Prepare(sql::kSelectPairRead);
  while (query.Step()) {
    (query.ColumnInt(0) == 0 ? read.pages : read.codes).push_back(query.ColumnBlob(1));
  }
  return read;
}

void RunJournal::SetPageScope(Database& db, PageScope pages) {
  db.Prepare(sql::kSetPageMode).BindInt(1, static_cast<int>(pages)).Run();
}

void RunJournal::Clear(Database& db) {
  db.Execute(sql::kClearRun);
  db.Execute(sql::kClearNotFetched);
  db.Execute(sql::kClearMorePages);
  db.Execute(sql::kClearPairRead);
}

void RunJournal::Touch(Database& db) {
  db.Execute(sql::kTouchRun);
}

void RunJournal::StartNew(Database& db, const JournalRun& run) {
  Clear(db);
  Statement insert = db.Prepare(sql::kInsertRun);
  insert.BindText(1, JoinCodes(run.categories))
      .BindText(2, JoinCodes(run.prefectures))
      .BindBlob(3, run.output_path)
      .BindText(4, run.encoding)
      .BindInt(5, run.progress.plan_size)
      .BindInt(6, run.progress.plan_check)
      .BindInt(7, run.progress.next_entry)
      .BindInt(8, run.progress.csv_bytes)
      .BindInt(9, run.progress.facilities_written);
  insert.Execute();
  SetPageScope(db, run.pages);
  db.Prepare(sql::kSetPrevious)
      .BindBlob(1, run.previous_path)
      .BindInt(2, run.previous_pages ? static_cast<int>(*run.previous_pages) : -1)
      .Run();
}

RunJournal::RunJournal(Database& db)
    : save_(db.Prepare(sql::kSaveProgress)),
      add_not_fetched_(db.Prepare(sql::kInsertNotFetched)),
      remove_not_fetched_(db.Prepare(sql::kDeleteNotFetched)),
      remove_not_fetched_from_(db.Prepare(sql::kDeleteNotFetchedFrom)),
      add_beyond_(db.Prepare(sql::kInsertMorePages)),
      remove_beyond_(db.Prepare(sql::kDeleteMorePages)),
      add_pair_read_(db.Prepare(sql::kInsertPairRead)),
      clear_pair_read_(db.Prepare(sql::kClearPairRead)) {}

void RunJournal::SaveProgress(const RunProgress& progress) {
  save_.BindInt(1, progress.plan_size)
      .BindInt(2, progress.plan_check)
      .BindInt(3, progress.next_entry)
      .BindInt(4, progress.csv_bytes)
      .BindInt(5, progress.facilities_written)
      .BindInt(6, progress.csv_crc.value_or(0))
      .BindInt(7, progress.entries_skipped)
      .BindInt(8, progress.counts_unreadable)
      .BindInt(9, progress.pairs_unaskable)
      .BindInt(10, progress.pair.index)
      .BindInt(11, progress.pair.pages)
      .BindBlob(12, progress.pair.next_url)
      .BindInt(13, progress.pair.announced)
      .BindInt(14, progress.pair.listed)
      .BindInt(15, progress.later_pages)
      .Run();
}

void RunJournal::AddNotFetched(int plan_index, const std::string& plan_entry, long status,
                               int page) {
  add_not_fetched_.BindInt(1, plan_index)
      .BindText(2, plan_entry)
      .BindInt(3, status)
      .BindInt(4, page)
      .Run();
}

void RunJournal::RemoveNotFetched(int plan_index) {
  remove_not_fetched_.BindInt(1, plan_index).Run();
}

void RunJournal::RemoveNotFetchedFrom(int plan_index) {
  remove_not_fetched_from_.BindInt(1, plan_index).Run();
}

void RunJournal::AddBeyondFirstPage(const PairBeyondFirstPage& pair) {
  add_beyond_.BindInt(1, pair.plan_index)
      .BindText(2, pair.area_code)
      .BindText(3, pair.sub_category_code)
      .BindInt(4, pair.announced)
      .BindInt(5, pair.listed)
      .BindInt(6, static_cast<int>(pair.end))
      .Run();
}

void RunJournal::RemoveBeyondFirstPage(int plan_index) {
  remove_beyond_.BindInt(1, plan_index).Run();
}

void RunJournal::AddPairRead(int kind, const std::string& value) {
  add_pair_read_.BindInt(1, kind).BindBlob(2, value).Run();
}

void RunJournal::ClearPairRead() {
  clear_pair_read_.Run();
}

}  // namespace valmeric
