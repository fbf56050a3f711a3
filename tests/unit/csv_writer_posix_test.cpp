// The CSV file on a disk that fills, staged with fork() and a file size limit.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include "engine/csv_writer.h"
#include "support/temp_dir.h"

namespace valmeric {
namespace {

// A file size limit stands in for a disk that fills: a write that reaches it
// stores what fits and the next one fails. The file keeps every whole line
// that fitted, however little room there was.
TEST(CsvFile, AFullDiskKeepsEveryWholeLineThatFitted) {
  const std::string line(999, 'x');  // 1001 bytes with CR LF: no page ends on a line end
  struct Case {
    const char* name;
    rlim_t room;
  } cases[] = {
      {"room for 149 lines, in the third 64 KiB", 150000},
      {"room for 49 lines, less than the first 64 KiB", 50000},
      {"room for 4 lines, less than a page", 4500},
      {"no room for one line", 500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string path = dir.File("limited.csv");
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{c.room, c.room};
      setrlimit(RLIMIT_FSIZE, &limit);
      CsvFile file;
      file.Open(path);
      try {
        for (int i = 0; i < 1000; ++i) file.WriteLine(line);
        file.Close();
      } catch (const OutputError&) {
        // Tell the parent how many lines the writer believes are on disk.
        _exit(static_cast<int>(std::min<size_t>(file.lines_on_disk(), 250)));
      }
      _exit(255);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    const size_t fitted = c.room / (line.size() + 2);
    EXPECT_EQ(static_cast<size_t>(WEXITSTATUS(status)),
              fitted);  // the write failed, and says what stays
    EXPECT_EQ(test::ReadFile(path).size(), fitted * (line.size() + 2));
  }
}

}  // namespace
}  // namespace valmeric
