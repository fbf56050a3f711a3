// The duplicate check per facility with many codes already in the table.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include "engine/duplicate_filter.h"
#include "refdb/reference_db.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace valmeric {
namespace {

void FillSeenCodes(const std::string& path, int count) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO T00_Data (Hsp_code) VALUES (?)", -1, &insert, nullptr);
  for (int i = 0; i < count; ++i) {
    const std::string code = "01" + std::to_string(10000000 + i);
    sqlite3_bind_text(insert, 1, code.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

// Each iteration asks about a code not seen yet (a look-up and an insert),
// as for every facility written; the run commits once per result page.
void BM_CheckNewCode(benchmark::State& state) {
  test::TempDir dir;
  const std::string path = dir.File("hpt_data.db");
  test::CreateTestDatabase(path, {}, {});
  ReferenceDb db(path);  // adds the index and write-ahead logging
  FillSeenCodes(path, static_cast<int>(state.range(0)));
  DuplicateFilter filter(db.db());
  int next = 0;
  for (auto _ : state) {
    const bool seen = filter.CheckHspCode("99" + std::to_string(next++));
    if (seen) state.SkipWithError("a new code was reported as seen");
    if (next % 20 == 0) filter.Commit();
  }
}
BENCHMARK(BM_CheckNewCode)->Arg(1000)->Arg(10000)->Arg(200000)->Unit(benchmark::kMicrosecond);

// Each iteration asks about a code written earlier, as for a duplicate listing.
void BM_CheckSeenCode(benchmark::State& state) {
  test::TempDir dir;
  const std::string path = dir.File("hpt_data.db");
  test::CreateTestDatabase(path, {}, {});
  ReferenceDb db(path);
  const int count = static_cast<int>(state.range(0));
  FillSeenCodes(path, count);
  DuplicateFilter filter(db.db());
  int next = 0;
  for (auto _ : state) {
    const bool seen =
        filter.CheckHspCode("01" + std::to_string(10000000 + (next++ * 7919) % count));
    if (!seen) state.SkipWithError("a stored code was not found");
  }
}
BENCHMARK(BM_CheckSeenCode)->Arg(1000)->Arg(200000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace valmeric
