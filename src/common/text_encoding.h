#pragma once

// Conversions at the edges of the core: Shift_JIS (CP932) inside, UTF-8 in the
// database file and on the terminal. None of them fails: bytes that cannot be
// read or written come out as a replacement character.

#include <string>
#include <string_view>

namespace valmeric {

// True when every byte is below 0x80: such text reads the same in every encoding used here.
bool IsAscii(std::string_view text);

// UTF-8 to CP932; characters CP932 cannot hold become '?'.
std::string Utf8ToSjis(std::string_view utf8);

// CP932 to UTF-8; malformed bytes become U+FFFD.
std::string SjisToUtf8(std::string_view sjis);

// Appends the CP932 bytes of one Unicode code point to out. Returns false (and
// appends nothing) when CP932 cannot hold it.
bool AppendCodePointAsSjis(char32_t code_point, std::string& out);

}  // namespace valmeric
