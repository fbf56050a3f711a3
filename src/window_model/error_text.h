#pragma once

#include <string>
#include <string_view>

namespace valmeric::window_model {

// The text of the default error display: the error's message with a full
// stop appended, unless it is empty or already ends in a punctuation mark
// (ASCII, or the Japanese full-width marks). UTF-8.
std::string ErrorDisplayText(std::string_view message);

}  // namespace valmeric::window_model
