// Arbitrary bytes as a result page, read for a plan entry taken from the input.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "common/text/sjis_text.h"
#include "engine/csv_writer.h"
#include "engine/plan.h"
#include "engine/result_page_reader.h"

namespace {

class Sink final : public valmeric::ResultPageSink {
 public:
  explicit Sink(std::string place) : place_(std::move(place)) {}
  bool CheckHspCode(const std::string& code) override {
    if (code.empty()) __builtin_trap();  // a facility code is never empty
    return !seen_.insert(code).second;
  }
  void WriteRecord(const valmeric::Record& record) override {
    const std::string line = valmeric::FormatRecordLine(record);
    if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos)
      __builtin_trap();
    ++written_;
  }
  void ShowPairStatus(int done, int total) override {
    if (done > total) __builtin_trap();  // never more handled than announced
    status_ = valmeric::PairStatusText(place_, done, total);
  }
  bool CancelRequested() override { return false; }

 private:
  std::string place_;
  std::string status_;
  std::set<std::string> seen_;
  int written_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // The first line stands for the entry's place, the rest is the page.
  const size_t newline = input.find('\n');
  const std::string entry = input.substr(0, newline == std::string::npos ? 0 : newline);
  const std::string page = newline == std::string::npos ? input : input.substr(newline + 1);
  Sink sink(entry);
  valmeric::ReadResultPage(valmeric::PageLines(page), sink);
  return 0;
}
