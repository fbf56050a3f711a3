#pragma once

// The test build's record of what the window did: one line per event,
// UTF-8, written through at once so that a script can watch it grow.

#include <cstdio>
#include <string>
#include <string_view>

namespace valmeric::win32::test {

class TestLog final {
 public:
  // Appends to the file named by the environment variable VALMERIC_TEST_LOG;
  // logs nothing when it is unset.
  TestLog();
  ~TestLog();
  TestLog(const TestLog&) = delete;
  TestLog& operator=(const TestLog&) = delete;

  // Fields joined by '|'; line breaks inside a field are written as "\n".
  void Line(std::initializer_list<std::string_view> fields);

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace valmeric::win32::test
