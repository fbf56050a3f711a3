#include "support/cp932_check.h"

#include <iconv.h>

#include <cstdio>
#include <stdexcept>

#include "support/temp_dir.h"

namespace valmeric::test {
namespace {

bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrail(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }
bool IsSingle(unsigned char b) { return b <= 0x7F || (b >= 0xA1 && b <= 0xDF); }

// True when the code page names the double-byte character (lead, trail).
bool IsAssigned(unsigned char lead, unsigned char trail) {
  static const iconv_t cd = iconv_open("UTF-16LE", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv has no CP932");
  char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  char out[8];
  char* in_ptr = in;
  char* out_ptr = out;
  size_t in_left = sizeof in;
  size_t out_left = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<size_t>(-1) && in_left == 0;
}

std::string Hex(std::string_view bytes) {
  std::string text;
  char part[4];
  for (char c : bytes) {
    std::snprintf(part, sizeof part, "%02X ", static_cast<unsigned char>(c));
    text += part;
  }
  return text;
}

}  // namespace

::testing::AssertionResult IsStrictCp932(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const auto b = static_cast<unsigned char>(text[at]);
    if (IsSingle(b)) {
      ++at;
      continue;
    }
    const std::string_view around = text.substr(at < 8 ? 0 : at - 8, 18);
    if (!IsLead(b)) {
      return ::testing::AssertionFailure() << "byte " << at << " cannot start a character: " << Hex(around);
    }
    if (at + 1 == text.size()) {
      return ::testing::AssertionFailure() << "the text ends with a lead byte: " << Hex(around);
    }
    const auto trail = static_cast<unsigned char>(text[at + 1]);
    if (!IsTrail(trail) || !IsAssigned(b, trail)) {
      return ::testing::AssertionFailure() << "bytes " << at << "-" << at + 1
                                           << " are no CP932 character: " << Hex(around);
    }
    at += 2;
  }
  return ::testing::AssertionSuccess();
}

std::string ReadCsv(const std::string& path) {
  std::string bytes = ReadFile(path);
  if (bytes.starts_with("\xEF\xBB\xBF")) return bytes;  // written as UTF-8 on request
  EXPECT_TRUE(IsStrictCp932(bytes)) << path;
  return bytes;
}

}  // namespace valmeric::test
