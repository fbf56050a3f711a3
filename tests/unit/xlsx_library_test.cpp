#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace valmeric {
namespace {

namespace fs = std::filesystem;

// libxlsxwriter as each build links it: Debian's shared library on Linux, its
// source package compiled in on Windows. A workbook written row by row in
// constant-memory mode, with its scratch files in a folder of ours, comes out
// as a whole zip package and leaves nothing else behind.
TEST(XlsxLibrary, WritesAWorkbookInConstantMemoryMode) {
  test::TempDir dir;
  const std::string path = dir.File("two-cells.xlsx");
  std::string scratch_folder = dir.path().string();
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  options.tmpdir = scratch_folder.data();
  lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
  ASSERT_NE(workbook, nullptr);
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(worksheet_write_string(sheet, 0, 0, "病院名", nullptr), LXW_NO_ERROR);
  EXPECT_EQ(worksheet_write_number(sheet, 0, 1, 1234.5, nullptr), LXW_NO_ERROR);
  ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);

  const std::string bytes = test::ReadFile(path);
  EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x03\x04", 4));
  EXPECT_NE(bytes.find("xl/worksheets/sheet1.xml"), std::string::npos);
  // The end of the central directory, without which no reader opens it.
  EXPECT_NE(bytes.find(std::string("PK\x05\x06", 4)), std::string::npos);
  std::size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().filename(), "two-cells.xlsx");
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
}

}  // namespace
}  // namespace valmeric
