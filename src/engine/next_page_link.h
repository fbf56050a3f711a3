#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/text/page_lines.h"

namespace valmeric {

// The longest address NextPageLink gives.
inline constexpr std::size_t kMaxNextPageLinkLength = 2048;

// The address of the page that a result page (lines as fetched, in EUC-JP)
// links as its next one, resolved against page_url (the address the page
// came from), or none.
//
// A next link is an <a> or <link> whose rel holds the word "next" (in any
// case), or an <a> whose text, its tags left out, its character references
// decoded and its ASCII and full-width spaces trimmed, starts with 次 (次へ,
// 次のページ, 次の20件, 次へ&gt;) or is exactly ">", "＞" or "»" (raw, &raquo;,
// &#187; or &#xBB;). A link inside an HTML comment is none. An anchor may
// run over any number of lines; its first kAnchorTextKept bytes of text are
// looked at.
//
// Its href (quoted or not, references decoded) is resolved as a browser
// resolves it (RFC 3986: dot segments worked out, the fragment dropped) and
// taken only when
// - the address keeps page_url's scheme, host (in any case) and port (":80"
//   on http is no port), with no user name;
// - its path is pair_path or lies under it: "/doko/kekka.php/13101110" takes
//   ".../13101110/?page=2" and ".../13101110/2/", never ".../131011100/";
// - it is not page_url itself (a 次へ that leads back to the same page);
// - it is printable ASCII without a space, a backslash or a percent-encoded
//   dot, slash or backslash (which a server may decode into a path outside
//   pair_path), and at most kMaxNextPageLinkLength bytes. Spaces are refused,
//   not encoded: the site's own links never hold one.
// The first next link in the page whose address is taken wins; a next link
// whose address is refused (a facility named 次… whose link leads to its own
// page, a 次へ that leads elsewhere) is passed over. A <base> element is not
// looked at. Linear in the page's size.
std::optional<std::string> NextPageLink(const PageLines& lines, std::string_view page_url,
                                        std::string_view pair_path);

// Bytes of an anchor's text that NextPageLink looks at; an anchor with more
// text is a next link only by its start (次…) or its rel.
inline constexpr std::size_t kAnchorTextKept = 1024;

// The next link of a pair's result page: one under the pair's own result
// path ("/doko/kekka.php/" + area code + sub-category code).
std::optional<std::string> NextPageLinkOfPair(const PageLines& lines, std::string_view page_url,
                                              std::string_view area_code,
                                              std::string_view sub_category_code);

}  // namespace valmeric
