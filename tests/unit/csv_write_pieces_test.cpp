// Watches every write() the CSV file makes. This binary is linked with
// --wrap=write, so the core's calls to write() come here first.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/csv_writer.h"
#include "support/temp_dir.h"

namespace {

bool g_recording = false;
std::vector<std::string> g_writes;

}  // namespace

extern "C" ssize_t __real_write(int fd, const void* data, size_t size);

extern "C" ssize_t __wrap_write(int fd, const void* data, size_t size) {
  const ssize_t n = __real_write(fd, data, size);
  if (g_recording && n > 0)
    g_writes.emplace_back(static_cast<const char*>(data), static_cast<size_t>(n));
  return n;
}

namespace valmeric {
namespace {

// A kill can stop a write() between two memory pages, so no write() is
// longer than a page unless one line alone is, and each ends on a line end.
TEST(CsvFilePieces, EachWriteIsAtMostAPageOfWholeLines) {
  struct Case {
    const char* name;
    std::vector<size_t> line_lengths;  // without CR LF
  } cases[] = {
      {"two hundred lines of 999 bytes", std::vector<size_t>(200, 999)},
      {"lines that fill a page exactly", std::vector<size_t>(40, 4094)},
      {"one line longer than a page among short ones", {100, 100, 10000, 100, 5000, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string path = dir.File("out.csv");
    std::string expected;
    g_writes.clear();
    g_recording = true;
    CsvFile file;
    file.Open(path);
    for (size_t length : c.line_lengths) {
      const std::string line(length, 'x');
      file.WriteLine(line);
      expected += line + "\r\n";
    }
    file.Close();
    g_recording = false;

    EXPECT_EQ(test::ReadFile(path), expected);
    ASSERT_FALSE(g_writes.empty());
    for (size_t i = 0; i < g_writes.size(); ++i) {
      const std::string& piece = g_writes[i];
      EXPECT_EQ(piece.substr(piece.size() - 2), "\r\n") << "write " << i;
      const bool one_line = piece.find("\r\n") == piece.size() - 2;
      EXPECT_TRUE(piece.size() <= 4096 || one_line)
          << "write " << i << " of " << piece.size() << " bytes";
    }
  }
}

}  // namespace
}  // namespace valmeric
