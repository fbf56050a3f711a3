// Finding a result page's next link: on a 20-entry page with its pager, and
// on hostile pages at the download's 64 MiB limit (and a quarter of it, to
// see that the time grows with the size and no faster).

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "common/text/page_lines.h"
#include "engine/next_page_link.h"
#include "support/euc.h"
#include "support/result_page.h"

namespace valmeric {
namespace {

const std::string kPage = "https://site.example/doko/kekka.php/13101110/";
const std::string kPair = "/doko/kekka.php/13101110";

void BM_NextPageLinkTwentyEntryPage(benchmark::State& state) {
  std::vector<test::PageFacility> facilities;
  for (int i = 0; i < 20; ++i) {
    test::PageFacility f;
    f.code = "1310" + std::to_string(100000 + i);
    f.name = "医療法人社団 さくら会 千代田クリニック" + std::to_string(i);
    facilities.push_back(f);
  }
  std::vector<std::string> lines = test::ResultPageLines(57, facilities);
  lines.insert(
      lines.end() - 2,
      {"<div class=\"pager\">", "<ul>", "<li><span>1</span></li>",
       "<li><a href=\"" + kPair + "/?page=2\">2</a></li>",
       "<li><a href=\"" + kPair + "/?page=3\">3</a></li>",
       "<li class=\"next\"><a href=\"" + kPair + "/?page=2\">次へ</a></li>", "</ul>", "</div>"});
  const PageLines page(test::EucPage(lines));
  for (auto _ : state) {
    if (NextPageLink(page, kPage, kPair) != kPage + "?page=2")
      state.SkipWithError("the page's next link was not found");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.text().size()));
}
BENCHMARK(BM_NextPageLinkTwentyEntryPage)->Unit(benchmark::kMicrosecond);

// range(0): the shape; range(1): the size in MiB.
//   0: 次へ anchors to another host, every one looked at and refused;
//   1: one anchor whose text never ends;
//   2: "<" after "<", each one text;
//   3: one start tag whose attributes never end.
std::string HostilePage(int64_t shape, size_t size) {
  const std::string unit = shape == 0 ? test::ToEuc("<a href=\"//other.example/?p=2\">次へ</a>\n")
                           : shape == 1 ? std::string("x")
                           : shape == 2 ? std::string("<")
                                        : std::string(" a=b");
  std::string page = shape == 1 ? "<a href=\"?page=2\">" : shape == 3 ? "<a" : "";
  page.reserve(size);
  while (page.size() + unit.size() <= size) page += unit;
  return page;
}

void BM_NextPageLinkHostilePage(benchmark::State& state) {
  const PageLines page(HostilePage(state.range(0), static_cast<size_t>(state.range(1)) << 20));
  for (auto _ : state) benchmark::DoNotOptimize(NextPageLink(page, kPage, kPair));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.text().size()));
}
BENCHMARK(BM_NextPageLinkHostilePage)
    ->ArgsProduct({{0, 1, 2, 3}, {16, 64}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace valmeric
