#include "support/cp932_check.h"

#include <cstdio>
#include <stdexcept>

#include "support/cp932_reference.h"
#include "support/temp_dir.h"

namespace valmeric::test {
namespace {

bool IsLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool IsTrail(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}
bool IsSingle(unsigned char b) {
  return b <= 0x7F || (b >= 0xA1 && b <= 0xDF);
}

}  // namespace

std::string Hex(std::string_view bytes) {
  std::string text;
  char part[4];
  for (char c : bytes) {
    std::snprintf(part, sizeof part, "%02X ", static_cast<unsigned char>(c));
    text += part;
  }
  return text;
}

::testing::AssertionResult IsStrictCp932(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const auto b = static_cast<unsigned char>(text[at]);
    if (IsSingle(b)) {
      ++at;
      continue;
    }
    const std::string_view around = text.substr(at < 8 ? 0 : at - 8, 18);
    if (!IsLead(b)) {
      return ::testing::AssertionFailure()
             << "byte " << at << " cannot start a character: " << Hex(around);
    }
    if (at + 1 == text.size()) {
      return ::testing::AssertionFailure() << "the text ends with a lead byte: " << Hex(around);
    }
    const auto trail = static_cast<unsigned char>(text[at + 1]);
    if (!IsTrail(trail) || !IsAssigned(b, trail)) {
      return ::testing::AssertionFailure()
             << "bytes " << at << "-" << at + 1 << " are no CP932 character: " << Hex(around);
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
