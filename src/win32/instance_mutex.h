#pragma once

#include <memory>

namespace valmeric::win32 {

// The one instance a user logon may run: a named mutex, created owned. Held
// until destroyed; the system closes the handle when the process ends.
class InstanceMutex final {
 public:
  // Null when the mutex exists already or cannot be created.
  static std::unique_ptr<InstanceMutex> Claim(const wchar_t* name);
  ~InstanceMutex();
  InstanceMutex(const InstanceMutex&) = delete;
  InstanceMutex& operator=(const InstanceMutex&) = delete;

 private:
  explicit InstanceMutex(void* handle) : handle_(handle) {}
  void* handle_;
};

}  // namespace valmeric::win32
