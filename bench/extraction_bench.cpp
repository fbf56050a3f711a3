// Reading one result page of 20 entries, from loaded lines to formatted CSV lines.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include "common/text/page_lines.h"
#include "engine/csv_writer.h"
#include "engine/result_page_reader.h"
#include "support/result_page.h"

namespace valmeric {
namespace {

class FormattingSink final : public ResultPageSink {
 public:
  bool CheckHspCode(const std::string&) override { return false; }
  void WriteRecord(const Record& record) override { bytes += FormatRecordLine(record).size(); }
  void ShowPairStatus(int, int) override {}
  bool CancelRequested() override { return false; }
  size_t bytes = 0;
};

std::string TwentyEntryPage() {
  std::vector<test::PageFacility> facilities;
  for (int i = 0; i < 20; ++i) {
    test::PageFacility f;
    f.code = "0110" + std::to_string(100000 + i);
    f.name = "医療法人社団 さくら&amp;会 札幌中央クリニック" + std::to_string(i);
    facilities.push_back(f);
  }
  return test::ResultPageBody(57, facilities);
}

void BM_ExtractTwentyEntryPage(benchmark::State& state) {
  const PageLines lines(TwentyEntryPage());
  for (auto _ : state) {
    FormattingSink sink;
    const PairCounts counts = ReadResultPage(lines, sink);
    benchmark::DoNotOptimize(sink.bytes);
    if (counts.done != 20) state.SkipWithError("the page did not yield 20 entries");
  }
  state.SetItemsProcessed(state.iterations() * 20);
}
BENCHMARK(BM_ExtractTwentyEntryPage)->Unit(benchmark::kMicrosecond);

void BM_LoadAndExtractTwentyEntryPage(benchmark::State& state) {
  const std::string body = TwentyEntryPage();
  for (auto _ : state) {
    FormattingSink sink;
    ReadResultPage(PageLines(body), sink);
    benchmark::DoNotOptimize(sink.bytes);
  }
}
BENCHMARK(BM_LoadAndExtractTwentyEntryPage)->Unit(benchmark::kMicrosecond);

// A page at the download's 64 MiB limit: a result page followed by line
// feeds only, or by short lines. Its lines and its reading should cost time
// and memory in proportion to its size. peak_rss_MiB is the process's peak:
// run one of these alone (--benchmark_filter) to read it.
void BM_ReadPageOfManyLines(benchmark::State& state) {
  const std::string filler = state.range(0) == 0 ? "\n" : "x\n";
  std::string body = TwentyEntryPage();
  body.reserve(64u << 20);
  while (body.size() + filler.size() <= (64u << 20)) body += filler;
  for (auto _ : state) {
    FormattingSink sink;
    const PairCounts counts = ReadResultPage(PageLines(body), sink);
    if (counts.done != 20) state.SkipWithError("the page did not yield 20 entries");
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(body.size()));
}
BENCHMARK(BM_ReadPageOfManyLines)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace valmeric
