#include "window_model/layout.h"

#include <stdexcept>
#include <string>

namespace valmeric::window_model {

const ControlSpec& Control(ControlId id) {
  for (const ControlSpec& spec : kControls) {
    if (spec.id == id) return spec;
  }
  throw std::out_of_range("no control " + std::to_string(static_cast<int>(id)));
}

ControlRect StatusLabelRect(int text_width, int text_height) {
  return {kStatusRight - text_width, kStatusTop, text_width, text_height};
}

}  // namespace valmeric::window_model
