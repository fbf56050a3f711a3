#include "test_log.h"

#include <cstdlib>

#include "win32/wide_text.h"

namespace valmeric::win32::test {

TestLog::TestLog() {
  const wchar_t* path = _wgetenv(L"VALMERIC_TEST_LOG");
  if (path != nullptr && *path != L'\0') file_ = _wfopen(path, L"ab");
}

TestLog::~TestLog() {
  if (file_ != nullptr) std::fclose(file_);
}

void TestLog::Line(std::initializer_list<std::string_view> fields) {
  if (file_ == nullptr) return;
  std::string line;
  for (const std::string_view field : fields) {
    if (!line.empty()) line.push_back('|');
    for (const char c : field) {
      if (c == '\n') {
        line += "\\n";
      } else if (c == '\r') {
        line += "\\r";
      } else {
        line.push_back(c);
      }
    }
  }
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace valmeric::win32::test
