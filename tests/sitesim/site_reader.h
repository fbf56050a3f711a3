#pragma once

// A reader of the directory site's pages that applies the collector's line
// rules byte for byte (Shift_JIS text, trimmed lines, fixed byte positions),
// so the tests see the pages the way the collector will.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace valmeric::sitesim::testing {

// iconv between two encodings; throws std::runtime_error on any byte that
// does not convert.
std::string Convert(std::string_view text, const char* from, const char* to);
inline std::string EucToSjis(std::string_view euc) {
  return Convert(euc, "EUC-JP-MS", "CP932");
}
inline std::string SjisToUtf8(std::string_view sjis) {
  return Convert(sjis, "CP932", "UTF-8");
}

std::vector<std::string> SplitLines(std::string_view text);
std::string Trim(std::string_view text);
std::string StripTags(std::string_view text);
// 1-based byte position of `sub` in Shift_JIS `text`, only where a character
// begins; 0 when absent.
std::size_t Find(std::string_view text, std::string_view sub);
// Bytes [index, index + count) with 1-based index, clipped to the text.
std::string Cut(std::string_view text, std::size_t index, std::size_t count);
// Replaces every occurrence, comparing ASCII letters without regard to case.
std::string ReplaceAll(std::string_view text, std::string_view pattern, std::string_view with);
// &amp; &quot; &lt; &gt; &#39; &#NN; &#xNN; (ASCII only).
std::string DecodeReferences(std::string_view text);

struct CityRow {
  std::string code;
  std::string name;  // UTF-8
};
std::vector<CityRow> ReadCityPage(std::string_view euc_body);

struct SubCategoryRow {
  int category = 0;
  std::string code;
  std::string name;  // UTF-8
};
std::vector<SubCategoryRow> ReadSubCategoryPage(std::string_view euc_body);

// code, name, postal code, address, telephone, station, departments, link path
using Record = std::array<std::string, 8>;

struct ResultPage {
  int announced = 0;            // the result count; 0 when missing or unreadable
  std::vector<Record> entries;  // UTF-8, references decoded; at most `announced`
};
ResultPage ReadResultPage(std::string_view euc_body);

// A link a client takes to the next result page: an <a> or <link> with
// rel="next", or an <a> whose text (tags stripped, trimmed; "&raquo;" read as
// "»") starts with "次" or is one of ">", "＞", "»", "&gt;", "次へ&gt;".
struct NextLink {
  std::string href;
  std::string text;      // UTF-8, as the markup has it; empty for a <link>
  bool in_head = false;  // before </head>
};
std::vector<NextLink> FindNextLinks(std::string_view euc_body);

// href taken from the page at `page_address` (a path with its query):
// "http://host/path" stays as it is, "/path" and "?query" and "./rest" are
// resolved into a path on the page's own host.
std::string Resolve(std::string_view page_address, std::string_view href);

}  // namespace valmeric::sitesim::testing
