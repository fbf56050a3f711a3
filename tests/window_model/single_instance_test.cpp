#include "window_model/single_instance.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "support/temp_dir.h"

namespace valmeric::window_model {
namespace {

namespace fs = std::filesystem;

TEST(SingleInstanceTest, ASecondClaimFailsUntilTheFirstIsGone) {
  test::TempDir dir;
  const fs::path lock = dir.path() / "Quillmere.lock";
  auto first = SingleInstance::Claim(lock);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(SingleInstance::Claim(lock), nullptr);
  first.reset();
  EXPECT_NE(SingleInstance::Claim(lock), nullptr);
}

TEST(SingleInstanceTest, ALockFileThatCannotBeOpenedRefusesTheStart) {
  test::TempDir dir;
  EXPECT_EQ(SingleInstance::Claim(dir.path() / "missing" / "Quillmere.lock"), nullptr);
  fs::create_directories(dir.path() / "Quillmere.lock");
  EXPECT_EQ(SingleInstance::Claim(dir.path() / "Quillmere.lock"), nullptr);
  fs::create_symlink(dir.path() / "elsewhere", dir.path() / "link.lock");
  EXPECT_EQ(SingleInstance::Claim(dir.path() / "link.lock"), nullptr);
  EXPECT_FALSE(fs::exists(dir.path() / "elsewhere"));
}

TEST(SingleInstanceTest, TheLockLivesInTheRuntimeFolderOrPerUserInTheTemporaryOne) {
  test::TempDir dir;
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  EXPECT_EQ(SingleInstance::LockFilePath("Quillmere"), dir.path() / "Quillmere.lock");
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(SingleInstance::LockFilePath("Quillmere"),
            fs::temp_directory_path() / ("Quillmere-" + std::to_string(::getuid()) + ".lock"));
  if (old != nullptr) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

}  // namespace
}  // namespace valmeric::window_model
