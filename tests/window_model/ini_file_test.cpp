#include "window_model/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/named_case.h"
#include "support/temp_dir.h"

namespace valmeric::window_model {
namespace {

namespace fs = std::filesystem;

struct ReadCase {
  const char* name;
  std::string text;
  const char* section;
  const char* key;
  std::string expected;
};
VALMERIC_PRINT_CASE_BY_NAME(ReadCase)

class IniReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniReadTest, ReadsAsTheProfileFunctionsDo) {
  const auto& c = GetParam();
  EXPECT_EQ(IniFile::Parse(c.text).ReadString(c.section, c.key, "<none>"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniReadTest,
    ::testing::Values(
        ReadCase{"Plain", "[Config]\nCategory=0101\n", "Config", "Category", "0101"},
        ReadCase{"CrLf", "[Config]\r\nArea=11\r\nCategory=01\r\n", "Config", "Category", "01"},
        ReadCase{"CrOnly", "[Config]\rCategory=7\r", "Config", "Category", "7"},
        ReadCase{"NoFinalLineEnd", "[Config]\nCategory=12", "Config", "Category", "12"},
        ReadCase{"CaseAndBlanks", "  [ config ]  \n\t CATEGORY \t=  1 0  \n", "Config", "Category",
                 "1 0"},
        ReadCase{"Quoted", "[Config]\nCategory=\"0011\"\n", "Config", "Category", "0011"},
        ReadCase{"HalfQuoted", "[Config]\nCategory=\"0011\n", "Config", "Category", "\"0011"},
        ReadCase{"EmptyValue", "[Config]\nCategory=\n", "Config", "Category", ""},
        ReadCase{"MissingKey", "[Config]\nArea=1\n", "Config", "Category", "<none>"},
        ReadCase{"MissingSection", "[Other]\nCategory=1\n", "Config", "Category", "<none>"},
        ReadCase{"KeyBeforeAnySection", "Category=1\n[Config]\n", "Config", "Category", "<none>"},
        ReadCase{"FirstKeyWins", "[Config]\nCategory=1\nCategory=2\n", "Config", "Category", "1"},
        ReadCase{"FirstSectionWins", "[Config]\nArea=1\n[Config]\nCategory=2\n", "Config",
                 "Category", "<none>"},
        ReadCase{"CommentSkipped", "[Config]\n;Category=1\nCategory=2\n", "Config", "Category",
                 "2"},
        ReadCase{"ValueWithEquals", "[Config]\nCategory=a=b\n", "Config", "Category", "a=b"},
        ReadCase{"Bom", "\xEF\xBB\xBF[Config]\nCategory=1\n", "Config", "Category", "1"},
        ReadCase{"BrokenHeaderIsNotASection", "[Config\nCategory=1\n", "Config", "Category",
                 "<none>"},
        ReadCase{"Empty", "", "Config", "Category", "<none>"},
        ReadCase{"BinaryJunk", std::string("[Config]\nCategory=1\0\xff\n", 21), "Config",
                 "Category", std::string("1\0\xff", 3)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniWriteTest, ReplacesAddsAndKeepsEverythingElse) {
  IniFile file =
      IniFile::Parse("; kept\r\n[Config]\r\ncategory = 1\r\nOther=x\r\n\r\n[Next]\r\nA=1\r\n");
  file.WriteString("Config", "Category", "0010");
  file.WriteString("Config", "Area", "11");
  file.WriteString("Fresh", "Key", "v");
  EXPECT_EQ(file.Text(),
            "; "
            "kept\r\n[Config]\r\nCategory=0010\r\nOther=x\r\nArea=11\r\n\r\n[Next]\r\nA=1\r\n["
            "Fresh]\r\nKey=v\r\n");
  EXPECT_EQ(file.ReadString("config", "AREA", ""), "11");
  EXPECT_EQ(file.ReadString("Next", "A", ""), "1");
}

TEST(IniWriteTest, ANewFileIsReadableAgain) {
  IniFile file;
  file.WriteString("Config", "Category", "0000000001");
  file.WriteString("Config", "Area", "1\n0");
  EXPECT_EQ(file.Text(),
            "[Config]\r\nCategory=0000000001\r\nArea=10\r\n");  // the profile format's CR LF
  const IniFile again = IniFile::Parse(file.Text());
  EXPECT_EQ(again.ReadString("Config", "Category", ""), "0000000001");
  EXPECT_EQ(again.ReadString("Config", "Area", ""), "10");
}

TEST(IniWriteTest, AByteOrderMarkIsKeptSoTheFileReadsTheSameAgain) {
  struct Case {
    std::string text;
  } cases[] = {
      {"\xEF\xBB\xBF[Config]\r\nCategory=1\r\n"},
      // A second mark is part of the first line, which then is no section
      // header; written back without the first mark it would become one.
      {"\xEF\xBB\xBF\xEF\xBB\xBF[Config]\nCategory=1\n[Config]\nCategory=0\n"},
  };
  for (const Case& c : cases) {
    IniFile file = IniFile::Parse(c.text);
    const std::string before = file.ReadString("Config", "Category", "none");
    EXPECT_EQ(file.Text(), c.text);
    file.WriteString("Config", "Area", "1");
    const IniFile again = IniFile::Parse(file.Text());
    EXPECT_EQ(again.ReadString("Config", "Category", "none"), before);
    EXPECT_EQ(again.ReadString("Config", "Area", ""), "1");
  }
}

TEST(IniSaveTest, WritesThroughATemporaryFileAndLeavesNoneBehind) {
  test::TempDir dir;
  const fs::path path = dir.path() / "hpt.ini";
  IniFile file;
  file.WriteString("Config", "Category", "1");
  file.Save(path);
  EXPECT_EQ(test::ReadFile(path.string()), "[Config]\r\nCategory=1\r\n");
  EXPECT_EQ(IniFile::Load(path).ReadString("Config", "Category", ""), "1");
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(IniSaveTest, FailsForAMissingFolderOrAFolderInTheWay) {
  test::TempDir dir;
  IniFile file;
  file.WriteString("Config", "Category", "1");
  EXPECT_THROW(file.Save(dir.path() / "missing" / "hpt.ini"), std::runtime_error);
  fs::create_directories(dir.path() / "hpt.ini" / "x");
  EXPECT_THROW(file.Save(dir.path() / "hpt.ini"), std::runtime_error);
  EXPECT_TRUE(fs::is_directory(dir.path() / "hpt.ini" / "x"));
}

TEST(IniSaveTest, AReadOnlyFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "file modes do not bind the superuser";
  test::TempDir dir;
  const fs::path path = dir.path() / "hpt.ini";
  test::WriteFile(path.string(), "[Config]\nCategory=1\n");
  ::chmod(path.c_str(), 0444);
  IniFile file;
  file.WriteString("Config", "Category", "0");
  EXPECT_THROW(file.Save(path), std::runtime_error);
  EXPECT_EQ(test::ReadFile(path.string()), "[Config]\nCategory=1\n");
}

TEST(IniLoadTest, AMissingFileIsEmpty) {
  test::TempDir dir;
  EXPECT_EQ(IniFile::Load(dir.path() / "none.ini").Text(), "");
}

}  // namespace
}  // namespace valmeric::window_model
