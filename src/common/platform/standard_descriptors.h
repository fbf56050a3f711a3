#pragma once

namespace valmeric {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. A program
// started without one would hand its number to the first file it opens (the
// run lock's file), and its messages would go into that file. Call it first
// thing in main. False when /dev/null cannot be opened.
bool OpenClosedStandardDescriptors();

}  // namespace valmeric
