// A whole run against a local site with no pause: plan entries per second.

#include <benchmark/benchmark.h>

#include <map>

#include "engine/run_session.h"
#include "support/local_server.h"
#include "support/result_page.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace valmeric {
namespace {

// One prefecture of 30 cities and 10 sub-categories: 300 entries; each page
// lists 12 facilities drawn from a pool, so about half are duplicates.
void BM_WholeRun(benchmark::State& state) {
  test::TempDir dir;
  const std::string db_path = dir.File("hpt_data.db");
  std::vector<test::CityRow> cities;
  for (int c = 1; c <= 30; ++c) cities.push_back({1, 100 + c, "市" + std::to_string(c)});
  std::vector<test::SubCategoryRow> subs;
  for (int s = 1; s <= 10; ++s) subs.push_back({1, 100 + s, "科" + std::to_string(s)});
  test::CreateTestDatabase(db_path, cities, subs);

  test::LocalServer server;
  server.server().Get(R"(/doko/kekka\.php/(\d{5})(\d+)/)",
                      [](const httplib::Request& req, httplib::Response& res) {
                        const int city = std::stoi(req.matches[1]) % 1000;
                        const int sub = std::stoi(req.matches[2]);
                        std::vector<test::PageFacility> list;
                        for (int k = 0; k < 12; ++k) {
                          test::PageFacility f;
                          f.code = std::to_string(city * 1000 + (sub * 7 + k * 3) % 24);
                          f.name = "クリニック" + f.code;
                          list.push_back(f);
                        }
                        static thread_local std::map<std::string, std::string> cache;
                        auto& body = cache[req.path];
                        if (body.empty()) body = test::ResultPageBody(12, list);
                        res.set_content(body, "text/html; charset=EUC-JP");
                      });
  server.Start();

  int entries = 0;
  int written = 0;
  for (auto _ : state) {
    RunRequest request;
    request.selection = {{1}, {1}};
    request.output_path = dir.File("out.csv");
    request.database_path = db_path;
    request.settings.download.origin = SiteOrigin::Parse(server.Origin());
    request.settings.page_pause = std::chrono::milliseconds(0);
    RunReports reports({}, RunReports::Wake::kOnEndOnly);
    RunSession session(request, reports);
    while (!reports.WaitForEnd(std::chrono::seconds(1))) {
    }
    const RunOutcome outcome = *reports.Take().outcome;
    entries += outcome.progress.entries_done;
    written += outcome.progress.facilities_written;
    if (outcome.kind != Outcome::kCompleted) state.SkipWithError("the run did not complete");
  }
  state.counters["entries_per_s"] = benchmark::Counter(entries, benchmark::Counter::kIsRate);
  state.counters["facilities"] =
      benchmark::Counter(static_cast<double>(written) / state.iterations());
}
BENCHMARK(BM_WholeRun)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace valmeric
