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

}  // namespace

ScratchFile::ScratchFile(const std::string& folder) {
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
      return;
    }
    if (result == CreateResult::kFailed) break;
  }
  throw ScratchFileError(FileDetail(detail::kCannotCreateScratch, folder, error));
}

ScratchFile::~ScratchFile() {
  // Only the file made here goes: should the name have been freed and taken
  // by someone else meanwhile, theirs stays.
  if (IdentityOfFile(path_) == identity_) RemoveFile(path_);
}

}  // namespace valmeric
