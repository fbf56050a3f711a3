#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace valmeric::window_model {

// The claim of the one instance a user may run: an exclusive lock on a file
// named after the instance, held for the life of the process. The system
// drops it when the process ends, however it ends.
class SingleInstance final {
 public:
  // Claims lock_file without waiting. Returns null when another process holds
  // the claim or the file cannot be opened or locked.
  static std::unique_ptr<SingleInstance> Claim(const std::filesystem::path& lock_file);
  // The user's runtime folder, or the system's temporary folder when there is
  // none; the lock file name carries the user id in the second case.
  static std::filesystem::path LockFilePath(const std::string& name);

  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

 private:
  explicit SingleInstance(int fd) : fd_(fd) {}
  int fd_;
};

// Claims name at LockFilePath(name).
std::unique_ptr<SingleInstance> ClaimSingleInstance(const std::string& name);

}  // namespace valmeric::window_model
