// One checkpoint as a run takes it: the CSV's new lines written and synced,
// then the journal's progress committed with the duplicate table's new codes,
// on a database opened as a run opens it. Arg: facilities since the last
// checkpoint (at the site's pace, about two result pages of them). Run it on
// a disk, not on a tmpfs, where a sync costs nothing.

#include <benchmark/benchmark.h>

#include "engine/csv_writer.h"
#include "engine/duplicate_filter.h"
#include "engine/run_session.h"
#include "refdb/reference_db.h"
#include "refdb/run_journal.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace valmeric {
namespace {

void BM_Checkpoint(benchmark::State& state) {
  test::TempDir dir;
  const std::string path = dir.File("hpt_data.db");
  test::CreateTestDatabase(path, {}, {});
  ReferenceDb db(path);
  db.db().Begin();
  RunJournal::EnsureSchema(db.db());
  RunJournal::StartNew(db.db(),
                       NewRunRecord({{1}, {13}}, dir.File("result.csv"), CsvEncoding::kCp932));
  db.db().Commit();
  RunJournal journal(db.db());
  DuplicateFilter filter(db.db());
  CsvFile csv;
  csv.Open(dir.File("result.csv"));
  csv.WriteLine(CsvHeaderLine());
  RunProgress progress;
  progress.plan_size = 868;
  int code = 1310100000;
  for (auto _ : state) {
    db.db().Begin();
    for (int i = 0; i < state.range(0); ++i) {
      const std::string hsp_code = std::to_string(++code);
      filter.CheckHspCode(hsp_code);
      csv.WriteLine(FormatRecordLine({hsp_code, "clinic", "100-0001", "address", "03-1234-5678",
                                      "station", "subjects", "https://example/" + hsp_code}));
    }
    csv.Sync();
    progress.csv_bytes = csv.bytes_on_disk();
    progress.csv_crc = csv.crc_on_disk();
    progress.facilities_written += static_cast<int>(state.range(0));
    ++progress.next_entry;
    journal.SaveProgress(progress);
    db.db().Commit();
  }
}
BENCHMARK(BM_Checkpoint)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace valmeric
