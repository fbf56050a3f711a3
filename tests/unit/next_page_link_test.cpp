#include "engine/next_page_link.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/result_page.h"

namespace valmeric {
namespace {

const std::string kPage = "https://site.example/doko/kekka.php/13101110/";
const std::string kPair = "/doko/kekka.php/13101110";
const std::string kSecond = kPage + "?page=2";

// Stands for » as EUC-JIS-2004 writes it, which the EUC-JP the tests convert
// to has not: put into the page after the conversion.
const std::string kRawRaquo = "{raw raquo}";

struct Case {
  std::string name;
  std::vector<std::string> lines;  // UTF-8, converted to EUC-JP
  std::optional<std::string> link;
};

PageLines EucPage(const std::vector<std::string>& utf8_lines) {
  std::string page = test::EucPage(utf8_lines);
  for (size_t at; (at = page.find(kRawRaquo)) != std::string::npos;)
    page.replace(at, kRawRaquo.size(), "\xA9\xB2");
  return PageLines(std::move(page));
}

void ExpectLinks(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(NextPageLink(EucPage(c.lines), kPage, kPair), c.link);
  }
}

// A result page's pager around the given lines.
std::vector<std::string> Pager(std::vector<std::string> lines) {
  lines.insert(lines.begin(), {"<html><body>", "<div class=\"pager\">", "<ul>",
                               "<li class=\"current\"><span>1</span></li>"});
  lines.insert(lines.end(), {"</ul>", "</div>", "</body></html>"});
  return lines;
}

// An anchor to the second page with the given text.
std::vector<std::string> Anchor(const std::string& text) {
  return Pager({"<li><a href=\"?page=2\">" + text + "</a></li>"});
}

TEST(NextPageLink, IsTheLinkWhoseRelOrTextSaysNext) {
  ExpectLinks({
      {"rel next on an anchor", Pager({"<a href=\"?page=2\" rel=\"next\">2</a>"}), kSecond},
      {"rel among other words, in capitals, single quotes",
       Pager({"<A REL='nofollow NEXT' HREF='?page=2'>2</A>"}), kSecond},
      {"rel unquoted", Pager({"<a rel=next href=?page=2>2</a>"}), kSecond},
      {"rel next on a link element",
       {"<html><head>", "<link rel=\"next\" href=\"?page=2\">", "</head><body></body></html>"},
       kSecond},
      {"rel of another word", Pager({"<a rel=\"nextpage\" href=\"?page=2\">2</a>"}), std::nullopt},
      {"a link element that is not next", {"<link rel=\"prev\" href=\"?page=2\">"}, std::nullopt},
      {"次へ", Anchor("次へ"), kSecond},
      {"次のページ", Anchor("次のページ"), kSecond},
      {"次の20件", Anchor("次の20件"), kSecond},
      {"次 as a reference", Anchor("&#27425;へ"), kSecond},
      {"full-width greater-than", Anchor("＞"), kSecond},
      {"greater-than", Anchor(">"), kSecond},
      {"&gt;", Anchor("&gt;"), kSecond},
      {"&raquo;", Anchor("&raquo;"), kSecond},
      {"&#187;", Anchor("&#187;"), kSecond},
      {"&#xBB;", Anchor("&#xBB;"), kSecond},
      {"raw »", Anchor(kRawRaquo), kSecond},
      {"次へ&gt;", Anchor("次へ&gt;"), kSecond},
      {"text wrapped in a span", Anchor("<span class=\"arrow\">次へ</span>"), kSecond},
      {"spaces around the text", Anchor(" &nbsp;　次へ　&#12288; "), kSecond},
      {"spaces around a greater-than", Anchor("　&gt;&nbsp;"), kSecond},
      {"the text &raquo; written out", Anchor("&amp;raquo;"), std::nullopt},
      {"two greater-thans", Anchor("&gt;&gt;"), std::nullopt},
      {"a greater-than with more text", Anchor("&gt; 最後"), std::nullopt},
      {"a greater-than before a long text",
       Anchor("&gt;" + std::string(kAnchorTextKept, ' ') + "。"), std::nullopt},
      {"次へ before a long text", Anchor("次へ" + std::string(2 * kAnchorTextKept, 'x')), kSecond},
      {"a numbered pager link", Anchor("2"), std::nullopt},
      {"前へ", Anchor("&lt; 前へ"), std::nullopt},
      {"次へ outside any anchor", Pager({"<li><span>次へ</span></li>"}), std::nullopt},
      {"an anchor without an href", Pager({"<a name=\"next\">次へ</a>"}), std::nullopt},
      {"no link at all",
       {"<html><body><p>該当する施設はありません</p></body></html>"},
       std::nullopt},
      {"an anchor over three lines",
       Pager({"<li class=\"next\"><a class=\"next\"", "   href=\"?page=2\">", "次へ", "</a></li>"}),
       kSecond},
      {"an anchor left open, ended by the next one",
       Pager({"<a href=\"?page=2\">次へ", "<a href=\"?page=1\">1</a>"}), kSecond},
      {"an anchor open at the page's end", {"<a href=\"?page=2\">", "次へ"}, kSecond},
      {"a link inside a comment", Pager({"<!-- <a href=\"?page=9\">次へ</a> -->"}), std::nullopt},
      {"a comment over lines before the link",
       Pager({"<!--", "<a href=\"?page=9\" rel=\"next\">9</a>", "-->",
              "<a href=\"?page=2\">次へ</a>"}),
       kSecond},
      {"an empty comment does not hide the link",
       Pager({"<!-->", "<a href=\"?page=2\">次へ</a>", "-->"}), kSecond},
      {"the numbered links before the next one",
       Pager({"<a href=\"?page=3\">3</a>", "<a href=\"?page=4\">4</a>",
              "<a href=\"?page=2\">次へ</a>"}),
       kSecond},
      {"the first next link wins",
       Pager({"<a href=\"?page=2\">次へ</a>", "<a href=\"?page=3\" rel=\"next\">3</a>"}), kSecond},
      {"a facility named 次… before the pager",
       Pager({"<h1><a href=\"/hospital/1310137715/\">次田クリニック</a></h1>",
              "<a href=\"?page=2\">次へ</a>"}),
       kSecond},
      {"a greater-than inside a quoted attribute",
       Pager({"<a title=\"a > b\" href=\"?page=2\">次へ</a>"}), kSecond},
  });
}

// A 次へ anchor to href.
std::vector<std::string> To(const std::string& href) {
  return Pager({"<li class=\"next\"><a href=\"" + href + "\">次へ</a></li>"});
}

TEST(NextPageLink, FollowsOnlyAnHrefThatStaysInThePair) {
  const std::string longest_query(kMaxNextPageLinkLength - kPage.size() - 3, 'x');
  ExpectLinks({
      {"absolute, same origin", To(kSecond), kSecond},
      {"absolute, host in capitals and the default port",
       To("HTTPS://SITE.EXAMPLE:443/doko/kekka.php/13101110/?page=2"), kSecond},
      {"absolute, another host", To("https://other.example/doko/kekka.php/13101110/?page=2"),
       std::nullopt},
      {"absolute, another port", To("https://site.example:8443/doko/kekka.php/13101110/?page=2"),
       std::nullopt},
      {"absolute, another scheme", To("http://site.example/doko/kekka.php/13101110/?page=2"),
       std::nullopt},
      {"absolute, with a user name", To("https://u@site.example/doko/kekka.php/13101110/?page=2"),
       std::nullopt},
      {"scheme-relative", To("//site.example/doko/kekka.php/13101110/?page=2"), kSecond},
      {"scheme-relative, another host", To("//other.example/doko/kekka.php/13101110/?page=2"),
       std::nullopt},
      {"absolute path", To("/doko/kekka.php/13101110/?page=2"), kSecond},
      {"the pair's path without its slash", To("/doko/kekka.php/13101110?page=2"),
       "https://site.example/doko/kekka.php/13101110?page=2"},
      {"query only", To("?page=2"), kSecond},
      {"./ and a query", To("./?page=2"), kSecond},
      {"relative path", To("page/2/"), kPage + "page/2/"},
      {"../ back into the pair", To("../13101110/page/2/"), kPage + "page/2/"},
      {"../ out of the pair", To("../x"), std::nullopt},
      {"absolute, dot segments out of the pair",
       To("https://site.example/doko/kekka.php/13101110/../13102110/"), std::nullopt},
      {"scheme-relative, dot segments out of the pair",
       To("//site.example/doko/kekka.php/13101110/x/../../13102110/"), std::nullopt},
      {"another pair's path", To("/doko/kekka.php/13102110/?page=2"), std::nullopt},
      {"a pair whose code starts with this one's", To("/doko/kekka.php/131011100/"), std::nullopt},
      {"elsewhere on the site", To("/hospital/1310137715/"), std::nullopt},
      {"javascript:", To("javascript:void(0)"), std::nullopt},
      {"javascript: over a scheme-relative form", To("javascript://site.example/%0a"),
       std::nullopt},
      {"mailto:", To("mailto:info@site.example"), std::nullopt},
      {"&amp; in the href", To("?area=13101&amp;page=2"), kPage + "?area=13101&page=2"},
      {"&amp; in an unquoted href", Pager({"<a href=?area=13101&amp;page=2>次へ</a>"}),
       kPage + "?area=13101&page=2"},
      {"a fragment is dropped", To("?page=2#list"), kSecond},
      {"spaces around the href", To("  ?page=2 "), kSecond},
      {"the page itself", To("#top"), std::nullopt},
      {"the page itself, empty", To(""), std::nullopt},
      {"the page itself, ./", To("./"), std::nullopt},
      {"a space inside", To("?page=2 3"), std::nullopt},
      {"a tab inside", To("?page=\t2"), std::nullopt},
      {"a line break by reference", To("?page=&#10;2"), std::nullopt},
      {"a backslash", To("/doko/kekka.php/13101110/..\\..\\13102110/"), std::nullopt},
      {"encoded dot segments", To("/doko/kekka.php/13101110/%2E%2e/13102110/"), std::nullopt},
      {"an encoded slash", To("/doko/kekka.php/13101110/..%2f13102110/"), std::nullopt},
      {"non-ASCII", To("?name=次"), std::nullopt},
      {"the longest address", To("?q=" + longest_query), kPage + "?q=" + longest_query},
      {"one byte longer", To("?q=x" + longest_query), std::nullopt},
      {"a refused next link is passed over",
       Pager({"<a href=\"https://other.example/\" rel=\"next\">2</a>",
              "<a href=\"?page=2\">次へ</a>"}),
       kSecond},
  });
}

}  // namespace
}  // namespace valmeric
