#pragma once

// Conversions at the edges of the core: Shift_JIS (CP932) inside, UTF-8 in the
// database file and on the terminal. The plain conversions never fail: bytes
// that cannot be read or written come out as a replacement character. The
// checked ones below are for files that must be read exactly.

#include <string>
#include <string_view>

namespace valmeric {

// True when every byte is below 0x80: such text reads the same in every encoding used here.
bool IsAscii(std::string_view text);

// UTF-8 to CP932; characters CP932 cannot hold become '?'.
std::string Utf8ToSjis(std::string_view utf8);

// CP932 to UTF-8; malformed bytes become U+FFFD.
std::string SjisToUtf8(std::string_view sjis);

// Offset of the first byte that does not begin a CP932 character (a lone
// byte with no meaning, a lead byte without its trail byte, or a code CP932
// leaves unassigned), or npos when the whole text is CP932.
size_t FindInvalidSjis(std::string_view text);

// Appends utf8 converted to CP932 to out and returns npos, or returns the
// offset of the first byte sequence that is not UTF-8 or whose character
// CP932 cannot hold (out then holds an unspecified part of the text).
size_t AppendUtf8AsSjisChecked(std::string_view utf8, std::string& out);

// Appends the CP932 bytes of one Unicode code point to out. Returns false (and
// appends nothing) when CP932 cannot hold it.
bool AppendCodePointAsSjis(char32_t code_point, std::string& out);

}  // namespace valmeric
