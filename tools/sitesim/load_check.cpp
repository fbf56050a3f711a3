// valmeric-sitesim-load HOST PORT [SECONDS] [CONNECTIONS] [close] [DATA_DIR]
//
// Asks a running simulator for result pages of random (city, sub-category)
// pairs and prints the pages served per second. Connections are kept alive
// unless "close" is given, which opens a new one for every page.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "hash.h"
#include "site_data.h"

#ifndef VALMERIC_SITESIM_DATA_DIR
#define VALMERIC_SITESIM_DATA_DIR "data"
#endif

int main(int argc, char** argv) {
  using namespace valmeric::sitesim;
  if (argc < 3) {
    std::fprintf(
        stderr,
        "usage: valmeric-sitesim-load HOST PORT [SECONDS] [CONNECTIONS] [close] [DATA_DIR]\n");
    return 2;
  }
  const std::string host = argv[1];
  const int port = std::atoi(argv[2]);
  const int seconds = argc > 3 ? std::atoi(argv[3]) : 5;
  const int connections = argc > 4 ? std::atoi(argv[4]) : 4;
  const bool keep_alive = !(argc > 5 && std::string(argv[5]) == "close");
  const SiteData data = SiteData::Load(argc > 6 ? argv[6] : VALMERIC_SITESIM_DATA_DIR);

  std::vector<std::string> paths;
  for (const auto& city : data.cities()) {
    for (const auto& sub : data.subcategories()) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "/doko/kekka.php/%02d%03d%d/", city.prefecture, city.code,
                    sub.code);
      paths.emplace_back(buf);
    }
  }

  std::atomic<long> ok{0}, failed{0}, bytes{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  for (int w = 0; w < connections; ++w) {
    workers.emplace_back([&, w] {
      httplib::Client client(host, port);
      client.set_keep_alive(keep_alive);
      client.set_tcp_nodelay(true);
      Rng rng(Hash({static_cast<std::uint64_t>(w), Tag("load")}));
      while (!stop) {
        auto res =
            client.Get(paths[static_cast<std::size_t>(rng.Below(static_cast<int>(paths.size())))]);
        if (res && res->status == 200) {
          ++ok;
          bytes += static_cast<long>(res->body.size());
        } else {
          ++failed;
        }
      }
    });
  }
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  stop = true;
  for (auto& t : workers) t.join();
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%ld pages in %.2f s: %.0f pages/s, %.1f MB/s, %ld failed\n", ok.load(), elapsed,
              static_cast<double>(ok.load()) / elapsed,
              static_cast<double>(bytes.load()) / elapsed / 1e6, failed.load());
  return failed.load() == 0 ? 0 : 1;
}
