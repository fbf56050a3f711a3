#include <stdexcept>

#include "common/text/text_encoding.h"
#include "support/euc.h"

namespace valmeric::test {
namespace {

// The EUC-JP bytes of one CP932 two-byte character of JIS X 0208 (NEC's row
// 13 included), by the arithmetic that relates the two encodings.
void AppendEucOfSjis(unsigned lead, unsigned trail, std::string& out) {
  if (lead >= 0xF0) throw std::runtime_error("test text not representable in EUC-JP");
  unsigned row = (lead <= 0x9F ? lead - 0x71 : lead - 0xB1) * 2 + 1;
  unsigned cell = trail > 0x7F ? trail - 1 : trail;
  if (cell >= 0x9E) {
    cell -= 0x7D;
    ++row;
  } else {
    cell -= 0x1F;
  }
  out.push_back(static_cast<char>(row + 0x80));
  out.push_back(static_cast<char>(cell + 0x80));
}

}  // namespace

std::string ToEuc(std::string_view utf8) {
  const std::string sjis = Utf8ToSjis(utf8);
  std::string out;
  for (size_t at = 0; at < sjis.size(); ++at) {
    const auto b = static_cast<unsigned char>(sjis[at]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else if (b >= 0xA1 && b <= 0xDF) {  // half-width katakana
      out.push_back(static_cast<char>(0x8E));
      out.push_back(static_cast<char>(b));
    } else if (at + 1 < sjis.size()) {
      AppendEucOfSjis(b, static_cast<unsigned char>(sjis[++at]), out);
    } else {
      throw std::runtime_error("test text not representable in EUC-JP");
    }
  }
  return out;
}

}  // namespace valmeric::test
