#pragma once

// Include in the one file that holds main() of a program that runs Qt.
//
// Qt, GLib and D-Bus are not built with ThreadSanitizer, so it cannot see
// their own locking and reports their internal threads (the D-Bus connection
// thread, the font loading pool) against the main thread. These suppressions
// ignore what those libraries do themselves; our own code stays fully
// checked, since its accesses are instrumented rather than intercepted.

#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Widgets.so.6\n"
         "called_from_lib:libQt6DBus.so.6\n"
         "called_from_lib:libQt6Test.so.6\n"
         "called_from_lib:libglib-2.0.so.0\n"
         "called_from_lib:libdbus-1.so.3\n"
         "called_from_lib:libfontconfig.so.1\n"
         "called_from_lib:libfreetype.so.6\n";
}
#endif
