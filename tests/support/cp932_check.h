#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace valmeric::test {

// Success when every byte of text belongs to a whole CP932 character: an
// ASCII byte, a half-width katakana byte (A1-DF), or a lead byte (81-9F,
// E0-FC) followed by a trail byte (40-7E, 80-FC) that together name a
// character of code page 932. A lead byte at the end is a failure.
::testing::AssertionResult IsStrictCp932(std::string_view text);

// The bytes as hexadecimal pairs, each followed by a space, for failure messages.
std::string Hex(std::string_view bytes);

// Reads a CSV file the program wrote and checks that it is strict CP932
// (unless it begins with a UTF-8 byte-order mark: written as UTF-8 on request).
std::string ReadCsv(const std::string& path);

}  // namespace valmeric::test
