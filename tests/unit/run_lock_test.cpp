#include "refdb/run_lock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "support/temp_dir.h"

namespace valmeric {
namespace {

namespace fs = std::filesystem;

// One database reached by different spellings is still one database.
TEST(RunLock, HoldsTheFileWhateverPathNamesIt) {
  test::TempDir dir;
  fs::create_directories(dir.path() / "db");
  const fs::path db = dir.path() / "db" / "hpt_data.db";
  test::WriteFile(db.string(), "database");
  struct Case {
    const char* name;
    std::string path;
  };
  std::vector<Case> cases = {
      {"the same path", db.string()},
      {"a detour through the parent", (dir.path() / "db" / ".." / "db" / "hpt_data.db").string()},
      {"a needless dot", (dir.path() / "db" / "." / "hpt_data.db").string()},
  };
  // Spellings that only some systems have: links (Wine makes none), and
  // other letter cases on a file system that ignores case (Windows).
  std::error_code no_links;
  fs::create_symlink(db, dir.path() / "link.db", no_links);
  fs::create_directory_symlink(dir.path() / "db", dir.path() / "folder-link", no_links);
  if (!no_links) {
    cases.push_back({"a symbolic link to the file", (dir.path() / "link.db").string()});
    cases.push_back(
        {"a symbolic link to the folder", (dir.path() / "folder-link" / "hpt_data.db").string()});
  }
  const fs::path upper = dir.path() / "DB" / "HPT_DATA.DB";
  std::error_code case_sensitive;
  if (fs::equivalent(db, upper, case_sensitive))
    cases.push_back({"other letter case", upper.string()});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<RunLock> first(std::in_place, db.string());
    std::optional<RunLockError::Kind> refused;
    try {
      RunLock second(c.path);
    } catch (const RunLockError& error) {
      refused = error.kind();
    }
    EXPECT_EQ(refused, RunLockError::Kind::kHeldByAnotherRun);
    first.reset();
    EXPECT_NO_THROW(RunLock again(c.path));  // free again once the first run lets go
  }
}

TEST(RunLock, ALockFileThatCannotBeMadeIsTold) {
  test::TempDir dir;
  std::optional<RunLockError::Kind> refused;
  try {
    RunLock lock(dir.File("no/such/folder/hpt_data.db"));
  } catch (const RunLockError& error) {
    refused = error.kind();
  }
  EXPECT_EQ(refused, RunLockError::Kind::kCannotLock);
}

}  // namespace
}  // namespace valmeric
