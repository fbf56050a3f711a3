// Our reader over a folder of saved result pages, for the side-by-side
// comparison: prints every record as UTF-8 TSV, and the time and peak memory
// on stderr.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "common/text/page_lines.h"
#include "common/text/sjis_text.h"
#include "common/text/text_encoding.h"
#include "engine/result_page_reader.h"

namespace {

class TsvSink final : public valmeric::ResultPageSink {
 public:
  explicit TsvSink(std::string& out) : out_(out) {}
  bool CheckHspCode(const std::string&) override { return false; }
  void WriteRecord(const valmeric::Record& record) override {
    for (size_t i = 0; i < record.size(); ++i) {
      out_ += valmeric::SjisToUtf8(record[i]);
      out_ += i + 1 < record.size() ? '\t' : '\n';
    }
  }
  void ShowPairStatus(int, int) override {}
  bool CancelRequested() override { return false; }

 private:
  std::string& out_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: extract_pages FOLDER\n";
    return 2;
  }
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
    files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<std::string> bodies;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream body;
    body << in.rdbuf();
    bodies.push_back(body.str());
  }
  std::string out;
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& body : bodies) {
    TsvSink sink(out);
    valmeric::ReadResultPage(valmeric::PageLines(body), sink);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::cout << out;
  std::cerr << "pages=" << bodies.size() << " seconds=" << seconds
            << " peak_rss_kib=" << usage.ru_maxrss << "\n";
  return 0;
}
