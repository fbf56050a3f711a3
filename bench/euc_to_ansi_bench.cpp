// EUC-JP to Shift_JIS conversion of the lines of one result page, as the
// readers convert every line they look at.

#include <benchmark/benchmark.h>

#include "common/text/euc_to_ansi.h"
#include "common/text/sjis_text.h"
#include "support/result_page.h"

namespace valmeric {
namespace {

std::vector<std::string> TwentyEntryPageLines() {
  std::vector<test::PageFacility> facilities;
  for (int i = 0; i < 20; ++i) {
    test::PageFacility f;
    f.code = "0110" + std::to_string(100000 + i);
    f.name = "医療法人社団 さくら会 札幌中央クリニック①" + std::to_string(i);
    facilities.push_back(f);
  }
  return SplitLines(test::ResultPageBody(57, facilities));
}

void BM_EucToAnsiPageLines(benchmark::State& state) {
  const auto lines = TwentyEntryPageLines();
  size_t bytes = 0;
  for (const std::string& line : lines) bytes += line.size();
  for (auto _ : state) {
    for (const std::string& line : lines) benchmark::DoNotOptimize(EucToAnsi(line));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_EucToAnsiPageLines)->Unit(benchmark::kMicrosecond);

void BM_EucToAnsiKanjiLine(benchmark::State& state) {
  std::string line;
  for (int row = 0xB0; row < 0xB0 + 40; ++row) {
    for (int cell = 0xA1; cell < 0xA1 + 50; ++cell) {
      line.push_back(static_cast<char>(row));
      line.push_back(static_cast<char>(cell));
    }
  }
  for (auto _ : state) benchmark::DoNotOptimize(EucToAnsi(line));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_EucToAnsiKanjiLine)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace valmeric
