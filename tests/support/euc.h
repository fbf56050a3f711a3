#pragma once

#include <string>
#include <string_view>

namespace valmeric::test {

// UTF-8 test text in the site's encoding.
std::string ToEuc(std::string_view utf8);

// UTF-8 test text in the program's own encoding, and back.
std::string Sjis(std::string_view utf8);
std::string SjisToUtf8ForTest(std::string_view sjis);

}  // namespace valmeric::test
