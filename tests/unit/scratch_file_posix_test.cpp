#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/platform/scratch_file.h"
#include "support/temp_dir.h"

namespace valmeric {
namespace {

TEST(ScratchFile, OnlyItsOwnerMayReadOrReplaceIt) {
  test::TempDir dir;
  const ScratchFile scratch(dir.path().string());
  struct stat info {};
  ASSERT_EQ(stat(scratch.path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "other users must not read or replace it";
}

}  // namespace
}  // namespace valmeric
