#pragma once

#include <objbase.h>

namespace valmeric::win32 {

// COM for the UI thread, in the single-threaded apartment the shell's
// objects ask for; it outlives every interface the program holds.
class ComApartment final {
 public:
  ComApartment() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (ok_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool ok_;
};

}  // namespace valmeric::win32
