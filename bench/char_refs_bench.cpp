// Character-reference decoding of one field: a name with a few references, and
// a hostile field of 1.6 million "&" with no ";" anywhere.

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "common/text/char_refs.h"

namespace valmeric {
namespace {

void BM_DecodeCharRefsName(benchmark::State& state) {
  const std::string field = "A&amp;B &quot;Clinic&quot; &#x41;&#12354; &times; &notaname; x";
  for (auto _ : state) benchmark::DoNotOptimize(DecodeCharRefs(std::string_view(field)));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * field.size()));
}
BENCHMARK(BM_DecodeCharRefsName);

void BM_DecodeCharRefsAmpersandField(benchmark::State& state) {
  const std::string field(static_cast<size_t>(state.range(0)), '&');
  for (auto _ : state) benchmark::DoNotOptimize(DecodeCharRefs(std::string_view(field)));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * field.size()));
}
BENCHMARK(BM_DecodeCharRefsAmpersandField)->Arg(1'600'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace valmeric
