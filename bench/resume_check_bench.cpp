// The checks a resume makes before it touches a recorded run's CSV: the
// committed bytes read again, their CRC-32 and record lines compared with the
// journal's. Arg: facilities in the file (100,000 make about 21 MB).

#include <benchmark/benchmark.h>

#include "common/text/crc32.h"
#include "engine/csv_writer.h"
#include "engine/recorded_run_check.h"
#include "support/temp_dir.h"

namespace valmeric {
namespace {

void BM_ResumeCheckOfTheCommittedCsv(benchmark::State& state) {
  test::TempDir dir;
  const std::string path = dir.File("result.csv");
  const int facilities = static_cast<int>(state.range(0));
  {
    CsvFile file;
    file.Open(path);
    file.WriteLine(CsvHeaderLine());
    Record record;
    for (int i = 0; i < facilities; ++i) {
      record = {
          "01" + std::to_string(10000000 + i),
          "\x88\xe3\x97\xc3\x96\x40\x90\x6c \x82\xb3\x82\xad\x82\xe7\x89\xef "
          "\x83\x4e\x83\x8a\x83\x6a\x83\x62\x83\x4e",
          "\x81\xa7\x31\x30\x30\x2d\x30\x30\x30\x31",
          "\x93\x8c\x8b\x9e\x93\x73\x90\x72\x93\x63\x8b\xe6\x90\x5f\x8f\x68 1-2-3 "
          "\x83\x72\x83\x8b 4F",
          "03-1234-5678",
          "\x90\x56\x8f\x68\x89\x77 \x93\x6b\x95\xe0 5\x95\xaa",
          "\x93\xe0\x89\xc8 \x8a\x4f\x89\xc8 \x8f\xac\x8e\x99\x89\xc8 \x94\xe7\x95\x86\x89\xc8",
          "https://hospital-directory.example/doko/detail.php/01" + std::to_string(10000000 + i) +
              "/"};
      file.WriteLine(FormatRecordLine(record));
    }
    file.Close();
    JournalRun run;
    run.output_path = path;
    run.progress.csv_bytes = file.bytes_on_disk();
    run.progress.csv_crc = file.crc_on_disk();
    run.progress.facilities_written = facilities;
    state.counters["MB"] = static_cast<double>(run.progress.csv_bytes) / 1e6;
    for (auto _ : state) {
      if (OutputProblem(run, CsvEncoding::kCp932)) state.SkipWithError("the file was refused");
    }
  }
}
BENCHMARK(BM_ResumeCheckOfTheCommittedCsv)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace valmeric
