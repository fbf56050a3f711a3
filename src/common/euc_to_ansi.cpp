#include "common/euc_to_ansi.h"

#include "common/iconv_converter.h"
#include "common/text_encoding.h"

namespace valmeric {
namespace {

// EUC-JP: steps over a whole well-formed character, otherwise one byte.
size_t EucSkip(std::string_view text, size_t at) {
  const auto b = static_cast<unsigned char>(text[at]);
  if (b == 0x8E) return ByteInRange(text, at + 1, 0xA1, 0xDF) ? 2 : 1;
  if (b == 0x8F) return ByteInRange(text, at + 1, 0xA1, 0xFE) && ByteInRange(text, at + 2, 0xA1, 0xFE) ? 3 : 1;
  if (b >= 0xA1 && b <= 0xFE) return ByteInRange(text, at + 1, 0xA1, 0xFE) ? 2 : 1;
  return 1;
}

IconvConverter& EucConverter() {
  thread_local IconvConverter converter("CP932", "EUC-JP-MS");
  return converter;
}

}  // namespace

std::string EucToAnsi(std::string_view euc) {
  const size_t zero = euc.find('\0');
  if (zero != std::string_view::npos) euc = euc.substr(0, zero);
  if (IsAscii(euc)) return std::string(euc);
  return EucConverter().Convert(euc, "?", EucSkip);
}

}  // namespace valmeric
