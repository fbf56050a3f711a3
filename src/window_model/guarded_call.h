#pragma once

#include <exception>
#include <string>

namespace valmeric::window_model {

// Runs a window's handler. Whatever it throws is handed to show_error, the
// window's default error display, as the error's message (empty for what is
// not a std::exception), and the window goes back to its message loop as
// after any handler. Returns true when the handler returned normally.
template <typename Handler, typename ShowError>
bool GuardedCall(Handler&& handler, ShowError&& show_error) {
  try {
    handler();
    return true;
  } catch (const std::exception& error) {
    show_error(std::string(error.what()));
  } catch (...) {
    show_error(std::string());
  }
  return false;
}

}  // namespace valmeric::window_model
