// valmeric-sitesim: a local stand-in for the hospital directory site, for
// development and tests. See --help.
#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "facility_model.h"
#include "options.h"
#include "site_data.h"
#include "site_host.h"
#include "site_server.h"

#ifndef VALMERIC_SITESIM_DATA_DIR
#define VALMERIC_SITESIM_DATA_DIR "data"
#endif

namespace {

void WritePortFile(const std::string& path, int http, int https) {
  // Written aside and renamed, so a reader never sees half a file.
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::trunc);
    out << "http=" << http << "\n";
    if (https >= 0) out << "https=" << https << "\n";
    if (!out) throw std::runtime_error("cannot write " + temp);
  }
  std::filesystem::rename(temp, path);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace valmeric::sitesim;
  std::string error;
  auto options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc),
                              VALMERIC_SITESIM_DATA_DIR, error);
  if (!options) {
    if (error == "help") {
      std::cout << UsageText();
      return 0;
    }
    std::cerr << "valmeric-sitesim: " << error << "\n" << UsageText();
    return 2;
  }

  // Every thread started from here on inherits the blocked signals; the main
  // thread alone waits for them and shuts the listeners down in order.
  // A shell starts background jobs with SIGINT ignored, and an ignored signal
  // is discarded before sigwait could see it; restore the default first.
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  try {
    const SiteData data = SiteData::Load(options->data_dir);
    const FacilityModel model(data, options->seed, options->density, options->change_share);
    SiteServer site(model, options->faults);
    SiteHost host(site, options->listen);
    host.Start();
    if (!options->port_file.empty()) {
      WritePortFile(options->port_file, host.http_port(), host.https_port());
    }
    std::cout << "http://" << options->listen.host << ":" << host.http_port() << "/\n";
    if (host.https_port() >= 0) {
      std::cout << "https://" << options->listen.host << ":" << host.https_port() << "/\n";
    }
    std::cout.flush();

    int received = 0;
    sigwait(&signals, &received);
    host.Stop();
    std::cerr << "valmeric-sitesim: stopped on signal " << received << "\n";
  } catch (const std::exception& e) {
    std::cerr << "valmeric-sitesim: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
