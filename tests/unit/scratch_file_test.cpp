#include "common/platform/scratch_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "support/temp_dir.h"

namespace valmeric {
namespace {

namespace fs = std::filesystem;

TEST(ScratchFile, EachRunGetsAFileOfItsOwnThatGoesWithIt) {
  test::TempDir dir;
  test::WriteFile(dir.File("tmp.dat"), "an older run's page");
  std::optional<ScratchFile> first(std::in_place, dir.path().string());
  std::optional<ScratchFile> second(std::in_place, dir.path().string());
  const std::string first_path = first->path();
  EXPECT_NE(first_path, second->path());
  for (const std::string& path : {first_path, second->path()}) {
    EXPECT_EQ(fs::path(path).parent_path(), dir.path());
    EXPECT_EQ(fs::file_size(path), 0u);
  }
  first.reset();
  EXPECT_FALSE(fs::exists(first_path));
  EXPECT_TRUE(fs::exists(second->path()));
  EXPECT_EQ(test::ReadFile(dir.File("tmp.dat")), "an older run's page");
}

TEST(ScratchFile, LeavesAFileThatIsNoLongerItsOwn) {
  test::TempDir dir;
  std::string path;
  {
    ScratchFile scratch(dir.path().string());
    path = scratch.path();
    // Someone else's file now stands under the name. Windows refuses to
    // replace a file the run holds open, which spares it this case.
    test::WriteFile(dir.File("other"), "not ours");
    std::error_code error;
    fs::rename(dir.File("other"), path, error);
    if (error) GTEST_SKIP() << "a held file cannot be replaced here: " << error.message();
  }
  EXPECT_EQ(test::ReadFile(path), "not ours");
}

TEST(ScratchFile, ADeadRunsLeftoverGoesAndALiveRunsStays) {
  test::TempDir dir;
  const ScratchFile live(dir.path().string());
  struct Row {
    const char* name;
    bool stays;
  };
  const Row rows[] = {
      {"tmp-Ab12cd.dat", false},  // a killed run's: nobody holds it
      {"tmp-Ab12cd.txt", true},  {"tmp-.dat", true}, {"tmp.dat", true}, {"hosp.db", true},
  };
  for (const Row& row : rows) test::WriteFile(dir.File(row.name), "page");
  const ScratchFile next(dir.path().string());
  for (const Row& row : rows) EXPECT_EQ(fs::exists(dir.File(row.name)), row.stays) << row.name;
  EXPECT_TRUE(fs::exists(live.path())) << "a live run's file must stay";
  EXPECT_EQ(ScratchFile::RemoveLeftovers(dir.path().string()), 0);
  EXPECT_TRUE(fs::exists(live.path()));
  EXPECT_TRUE(fs::exists(next.path()));
}

TEST(ScratchFile, AFolderThatCannotHoldItIsTold) {
  test::TempDir dir;
  EXPECT_THROW(ScratchFile(dir.File("no/such/folder")), ScratchFileError);
}

}  // namespace
}  // namespace valmeric
