#include "common/platform/scratch_file.h"

#include <filesystem>
#include <random>

#include "common/platform/utf8_path.h"
#include "messages/detail_text.h"

namespace valmeric {
namespace {

// "tmp-" and six characters drawn at random, then ".dat".
std::string RandomName(std::mt19937& draw) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  std::string name = "tmp-";
  for (int i = 0; i < 6; ++i) name.push_back(kLetters[pick(draw)]);
  return name + ".dat";
}

bool IsScratchName(const std::string& name) {
  return name.size() == 14 && name.starts_with("tmp-") && name.ends_with(".dat");
}

// Whether nobody holds the file: its lock can be taken. The lock goes again
// with the probe.
bool NobodyHolds(const std::string& path) {
  NativeFile probe;
  return probe.Open(path, NativeFile::Mode::kProbe) &&
         probe.TryLock() == NativeFile::LockResult::kLocked;
}

}  // namespace

int ScratchFile::RemoveLeftovers(const std::string& folder) {
  int removed = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(PathFromUtf8(folder), error)) {
    const std::string path = Utf8FromPath(entry.path());
    if (!IsScratchName(Utf8FromPath(entry.path().filename())) || !entry.is_regular_file(error))
      continue;
    if (NobodyHolds(path) && RemoveFile(path)) ++removed;
  }
  return removed;
}

ScratchFile::ScratchFile(const std::string& folder) {
  RemoveLeftovers(folder);
  std::random_device seed;
  std::mt19937 draw(seed());
  std::string error = "no free name";
  // The file is created only when its name is free, so trying fresh names
  // until one is free hands every run a file of its own.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = Utf8FromPath(PathFromUtf8(folder) / RandomName(draw));
    const CreateResult result = CreateNewFile(name, identity_, error);
    if (result == CreateResult::kCreated) {
      path_ = name;
      Hold(error);
      return;
    }
    if (result == CreateResult::kFailed) break;
  }
  throw ScratchFileError(FileDetail(detail::kCannotCreateScratch, folder, error));
}

void ScratchFile::Hold(std::string& error) {
  if (hold_.Open(path_, NativeFile::Mode::kLockFile) &&
      hold_.TryLock() == NativeFile::LockResult::kLocked)
    return;
  // Unheld, it would be taken for a dead run's and removed under this run.
  error = hold_.error();
  RemoveFile(path_);
  throw ScratchFileError(FileDetail(detail::kCannotCreateScratch, path_, error));
}

ScratchFile::~ScratchFile() {
  hold_.Close();
  // Only the file made here goes: should the name have been freed and taken
  // by someone else meanwhile, theirs stays.
  if (IdentityOfFile(path_) == identity_) RemoveFile(path_);
}

}  // namespace valmeric
