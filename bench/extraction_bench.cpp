// Reading one result page of 20 entries, from loaded lines to formatted CSV lines.

#include <benchmark/benchmark.h>

#include "common/text/sjis_text.h"
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

std::vector<std::string> TwentyEntryPage() {
  std::vector<test::PageFacility> facilities;
  for (int i = 0; i < 20; ++i) {
    test::PageFacility f;
    f.code = "0110" + std::to_string(100000 + i);
    f.name = "医療法人社団 さくら&amp;会 札幌中央クリニック" + std::to_string(i);
    facilities.push_back(f);
  }
  return SplitLines(test::ResultPageBody(57, facilities));
}

void BM_ExtractTwentyEntryPage(benchmark::State& state) {
  const auto lines = TwentyEntryPage();
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
  std::string body;
  for (const auto& line : TwentyEntryPage()) body += line + "\r\n";
  for (auto _ : state) {
    FormattingSink sink;
    ReadResultPage(SplitLines(body), sink);
    benchmark::DoNotOptimize(sink.bytes);
  }
}
BENCHMARK(BM_LoadAndExtractTwentyEntryPage)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace valmeric
