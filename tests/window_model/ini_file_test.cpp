#include "window_model/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/named_case.h"
#include "support/temp_dir.h"

namespace valmeric::window_model {
namespace {

namespace fs = std::filesystem;

// The bytes of text in UTF-16 with its byte-order mark, as Notepad saves a
// file as "Unicode" (little-endian) or "Unicode big endian".
std::string Utf16(std::u16string_view text, bool big_endian = false) {
  std::string bytes;
  for (const char16_t unit : std::u16string(1, u'\uFEFF') + std::u16string(text)) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

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
        ReadCase{"Utf16", Utf16(u"; 設定\r\n[Config]\r\nCategory=0101\r\n"), "Config", "Category",
                 "0101"},
        ReadCase{"Utf16BigEndian", Utf16(u"[Config]\r\nArea=11\r\nCategory=01\r\n", true), "Config",
                 "Category", "01"},
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

// The two keys go back in the encoding the file was read in, and every other
// byte stays as it was: comments and sections in Japanese, line ends, the mark.
TEST(IniWriteTest, TheKeysGoBackInTheFilesOwnEncoding) {
  const struct {
    const char* name;
    std::string before;
    std::string after;
  } cases[] = {
      {"Ansi", "; \x8E\xE6\x93\xBE\r\n[Config]\r\nCategory=0\r\n[\x90\xDD\x92\xE8]\r\nA=1\r\n",
       "; "
       "\x8E\xE6\x93\xBE\r\n[Config]\r\nCategory=0101\r\nArea=11\r\n[\x90\xDD\x92\xE8]\r\nA=1\r\n"},
      {"Utf8", "\xEF\xBB\xBF; \xE5\x8F\x96\xE5\xBE\x97\n[Config]\nCategory=0\n",
       "\xEF\xBB\xBF; \xE5\x8F\x96\xE5\xBE\x97\n[Config]\nCategory=0101\nArea=11\n"},
      {"Utf16", Utf16(u"; 取得\r\n[Config]\r\nCategory=0\r\n[設定]\r\nA=𠮷\r\n"),
       Utf16(u"; 取得\r\n[Config]\r\nCategory=0101\r\nArea=11\r\n[設定]\r\nA=𠮷\r\n")},
      {"Utf16BigEndian", Utf16(u"[Config]\nCategory=0\n", true),
       Utf16(u"[Config]\nCategory=0101\nArea=11\n", true)},
      {"Utf16WithoutTheSection", Utf16(u"; 取得\r\n"),
       Utf16(u"; 取得\r\n[Config]\r\nCategory=0101\r\nArea=11\r\n")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    IniFile file = IniFile::Parse(c.before);
    file.WriteString("Config", "Category", "0101");
    file.WriteString("Config", "Area", "11");
    EXPECT_EQ(file.Text(), c.after);
    EXPECT_EQ(IniFile::Parse(c.after).ReadString("Config", "Area", ""), "11");
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
