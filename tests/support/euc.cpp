#include "support/euc.h"

#include "common/text/text_encoding.h"

namespace valmeric::test {

std::string Sjis(std::string_view utf8) {
  return Utf8ToSjis(utf8);
}

std::string SjisToUtf8ForTest(std::string_view sjis) {
  return SjisToUtf8(sjis);
}

}  // namespace valmeric::test
