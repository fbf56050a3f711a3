#pragma once

// Byte-string primitives over Shift_JIS (CP932) text. Positions are 1-based and
// count bytes; a double-byte character counts as two.

#include <string>
#include <string_view>
#include <vector>

namespace valmeric {

// True when b opens a double-byte Shift_JIS character.
inline bool IsSjisLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The whole file's bytes. Throws std::runtime_error when the file cannot be
// opened or read, or is a folder.
std::string ReadWholeFile(const std::string& path);

// Ends the text at its first zero byte and splits it into lines at CR LF, a
// lone CR or a lone LF.
std::vector<std::string> SplitLines(std::string_view text);

// Drops every byte of value 32 or less at both ends.
std::string Trim(std::string_view text);
std::string Trim(std::string&& text);  // reuses text's storage
std::string_view TrimView(std::string_view text);

// 1-based position of the first occurrence of sub, or 0. Case-sensitive; a
// match never starts at the second byte of a double-byte character.
int Find(std::string_view text, std::string_view sub);

// Plain byte search (1-based, 0 when absent) for ASCII markers on raw page
// lines, whose multi-byte characters never contain ASCII bytes.
int FindBytes(std::string_view text, std::string_view sub);

// count bytes from position index on, shortened at the end of the text.
std::string Cut(std::string_view text, int index, int count);

// Length of the longest start of text that holds at most max_bytes bytes and
// does not end inside a double-byte character.
size_t WholeCharPrefixLength(std::string_view text, size_t max_bytes);

// Replaces every occurrence of pattern, left to right without overlaps.
// ASCII letters compare without regard to case; a match never starts inside
// a double-byte character.
std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement);
// The same on text itself, which is left untouched when nothing matches.
void ReplaceAllInPlace(std::string& text, std::string_view pattern, std::string_view replacement);

// True for text made of decimal digits only, short enough for a 64-bit number.
bool IsPlainDecimal(std::string_view text);

// True when bytes [from, from + marker.size()) of text (1-based) equal marker.
bool HasAt(std::string_view text, int from, std::string_view marker);

}  // namespace valmeric
