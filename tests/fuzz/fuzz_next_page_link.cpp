// Arbitrary bytes as a result page whose next link is looked for.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/text/page_lines.h"
#include "engine/next_page_link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static constexpr std::string_view kPage = "https://site.example/doko/kekka.php/13101110/";
  static constexpr std::string_view kUnderPair = "https://site.example/doko/kekka.php/13101110";
  const std::string input(reinterpret_cast<const char*>(data), size);
  const auto link =
      valmeric::NextPageLink(valmeric::PageLines(input), kPage, "/doko/kekka.php/13101110");
  if (!link) return 0;
  // Only the pair's own pages, other than this one, in plain ASCII.
  if (link->size() > valmeric::kMaxNextPageLinkLength || *link == kPage) __builtin_trap();
  if (!link->starts_with(kUnderPair)) __builtin_trap();
  const char after = link->size() > kUnderPair.size() ? (*link)[kUnderPair.size()] : '\0';
  if (after != '/' && after != '?' && after != '\0') __builtin_trap();
  for (char c : *link) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= ' ' || b >= 0x7F || c == '\\' || c == '#') __builtin_trap();
  }
  return 0;
}
