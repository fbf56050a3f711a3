// The settings file as the Windows profile functions see it: what the window
// model writes they read, and what they write it reads, byte for byte alike,
// in a folder whose name holds a character outside CP932.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "common/network/site_lists.h"
#include "common/platform/utf8_path.h"
#include "support/temp_dir.h"
#include "window_model/ini_file.h"
#include "window_model/selection_settings.h"

namespace valmeric::window_model {
namespace {

namespace fs = std::filesystem;

std::wstring ProfileRead(const fs::path& path, const wchar_t* key) {
  wchar_t value[256] = {};
  GetPrivateProfileStringW(L"Config", key, L"<none>", value, 256, path.c_str());
  return value;
}

TEST(IniFileProfileTest, TheProfileFunctionsAndTheModelReadAndWriteTheSameFile) {
  test::TempDir dir;
  const fs::path folder = dir.path() / PathFromUtf8("𠮷田");
  fs::create_directories(folder);
  const struct {
    const char* name;
    std::string categories;
    std::string areas;
    std::string start = {};  // the file before either writes; none when empty
  } cases[] = {
      {"some", "0010000001", "0000000000001" + std::string(34, '0')},
      {"none", std::string(10, '0'), std::string(47, '0')},
      {"all", std::string(10, '1'), std::string(47, '1')},
      // A file that holds only the mark of UTF-16: the profile functions
      // write it in UTF-16 from then on.
      {"unicode", "0100000000", std::string(46, '0') + "1", "\xFF\xFE"},
  };
  for (const auto& c : cases) {
    const fs::path by_model = folder / "model.ini";
    const fs::path by_profile = folder / "profile.ini";
    fs::remove(by_model);
    fs::remove(by_profile);
    if (!c.start.empty()) {
      test::WriteFile(Utf8FromPath(by_model), c.start);
      test::WriteFile(Utf8FromPath(by_profile), c.start);
    }
    SelectionGroup categories(CategoryNames());
    SelectionGroup prefectures(PrefectureNames());
    ApplyTickText(categories, c.categories);
    ApplyTickText(prefectures, c.areas);
    SaveSelectionSettings(by_model, categories, prefectures);
    const std::wstring wide_categories(c.categories.begin(), c.categories.end());
    const std::wstring wide_areas(c.areas.begin(), c.areas.end());
    ASSERT_TRUE(WritePrivateProfileStringW(L"Config", L"Category", wide_categories.c_str(),
                                           by_profile.c_str()));
    ASSERT_TRUE(
        WritePrivateProfileStringW(L"Config", L"Area", wide_areas.c_str(), by_profile.c_str()));
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, by_profile.c_str());  // flush

    EXPECT_EQ(ProfileRead(by_model, L"Category"), wide_categories) << c.name;
    EXPECT_EQ(ProfileRead(by_model, L"Area"), wide_areas) << c.name;
    const IniFile read = IniFile::Load(by_profile);
    EXPECT_EQ(read.ReadString(kSettingsSection, kCategoryKey, ""), c.categories) << c.name;
    EXPECT_EQ(read.ReadString(kSettingsSection, kAreaKey, ""), c.areas) << c.name;
    EXPECT_EQ(test::ReadFile(Utf8FromPath(by_model)), test::ReadFile(Utf8FromPath(by_profile)))
        << c.name;
  }
}

}  // namespace
}  // namespace valmeric::window_model
