#include "win32/instance_mutex.h"

#include <windows.h>

namespace valmeric::win32 {

std::unique_ptr<InstanceMutex> InstanceMutex::Claim(const wchar_t* name) {
  HANDLE handle = CreateMutexW(nullptr, TRUE, name);
  // Any error counts, a refused access as well as a mutex that exists already.
  if (handle == nullptr || GetLastError() != ERROR_SUCCESS) {
    if (handle != nullptr) CloseHandle(handle);
    return nullptr;
  }
  return std::unique_ptr<InstanceMutex>(new InstanceMutex(handle));
}

InstanceMutex::~InstanceMutex() {
  ReleaseMutex(handle_);
  CloseHandle(handle_);
}

}  // namespace valmeric::win32
