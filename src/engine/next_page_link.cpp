#include "engine/next_page_link.h"

#include <algorithm>

#include "common/network/download_transfer.h"
#include "common/network/site_address.h"
#include "common/text/char_refs.h"
#include "common/text/euc_to_ansi.h"
#include "common/text/sjis_text.h"
#include "common/text/text_encoding.h"

namespace valmeric {
namespace {

constexpr size_t npos = std::string_view::npos;

// » has no place in CP932, so its references stay as written when decoded:
// they are put in as this code first, one CP932 leaves unassigned, which
// neither the conversion nor the decoding ever gives.
constexpr std::string_view kRaquoMark = "\x85\x40";
// » as EUC-JIS-2004 writes it (JIS X 0213 1-9-18); plain EUC-JP has none.
constexpr std::string_view kRawRaquo = "\xA9\xB2";

bool IsHtmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool EqualsNoCase(std::string_view text, std::string_view lower) {
  return text.size() == lower.size() &&
         std::equal(text.begin(), text.end(), lower.begin(),
                    [](char a, char b) { return AsciiLower(a) == b; });
}

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (AsciiLower(c) >= 'a' && AsciiLower(c) <= 'z');
}

// True when the rel value's words (split at white space) hold "next".
bool RelHoldsNext(std::string_view rel) {
  for (size_t at = 0; at < rel.size();) {
    while (at < rel.size() && IsHtmlSpace(rel[at])) ++at;
    size_t end = at;
    while (end < rel.size() && !IsHtmlSpace(rel[end])) ++end;
    if (EqualsNoCase(rel.substr(at, end - at), "next")) return true;
    at = end;
  }
  return false;
}

// Text without the ASCII white space, control bytes and full-width spaces
// at either end (Shift_JIS, walked a character at a time).
std::string_view TrimSpaces(std::string_view text) {
  size_t start = npos, end = 0;
  for (size_t at = 0; at < text.size();) {
    const auto b = static_cast<unsigned char>(text[at]);
    const size_t n = IsSjisLeadByte(b) && at + 1 < text.size() ? 2 : 1;
    const bool space = n == 1 ? b <= ' ' : text.substr(at, 2) == "\x81\x40";
    if (!space) {
      if (start == npos) start = at;
      end = at + n;
    }
    at += n;
  }
  return start == npos ? std::string_view() : text.substr(start, end - start);
}

// Whether an anchor's text (EUC-JP, tags left out) reads as a next link's.
// whole is false when the text was cut at kAnchorTextKept: only its start
// then counts.
bool IsNextText(std::string_view euc, bool whole) {
  static const std::string next = Utf8ToSjis("次");
  static const std::string full_width_greater = Utf8ToSjis("＞");
  if (whole && TrimView(euc) == kRawRaquo) return true;
  std::string text = EucToAnsi(euc);
  for (std::string_view raquo : {"&raquo;", "&#187;", "&#xbb;"})
    ReplaceAllInPlace(text, raquo, kRaquoMark);
  text = DecodeCharRefs(std::move(text));
  const std::string_view visible = TrimSpaces(text);
  if (visible.starts_with(next)) return true;
  return whole && (visible == ">" || visible == full_width_greater || visible == kRaquoMark);
}

// A byte an address taken from a page may not hold: control bytes, spaces,
// anything beyond ASCII, and the backslash browsers read as a slash.
bool RefusedInAddress(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b <= ' ' || b >= 0x7F || c == '\\';
}

// A percent-encoded dot, slash or backslash, which a server may decode
// before it maps the path.
bool HoldsEncodedPathMark(std::string_view path) {
  for (size_t at = path.find('%'); at != npos; at = path.find('%', at + 1)) {
    const std::string_view code = path.substr(at + 1, 2);
    if (EqualsNoCase(code, "2e") || EqualsNoCase(code, "2f") || EqualsNoCase(code, "5c"))
      return true;
  }
  return false;
}

// The rules an href must pass to be the next page's address.
class LinkRule {
 public:
  LinkRule(std::string_view page_url, std::string_view pair_path)
      : page_url_(page_url), page_(download::ParseAbsoluteUrl(page_url)), pair_(pair_path) {
    while (pair_.ends_with('/')) pair_.remove_suffix(1);
    if (page_) root_ = page_->scheme + "://" + page_->authority;
  }

  // The address href leads to, when it may be followed as the next page.
  std::optional<std::string> Take(std::string_view href) const {
    if (!page_ || std::any_of(href.begin(), href.end(),
                              [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
      return std::nullopt;
    const std::string decoded = DecodeCharRefs(href);
    const std::string_view reference = TrimView(decoded);
    if (std::any_of(reference.begin(), reference.end(), RefusedInAddress)) return std::nullopt;
    const std::optional<download::UrlParts> to =
        download::ParseAbsoluteUrl(download::ResolveReference(page_url_, reference));
    if (!to || !SameOrigin(*to) || !UnderPair(to->path) || HoldsEncodedPathMark(to->path))
      return std::nullopt;
    std::string address = root_ + to->path + to->query;
    if (address.size() > kMaxNextPageLinkLength || address == root_ + page_->path + page_->query)
      return std::nullopt;
    return address;
  }

 private:
  bool SameOrigin(const download::UrlParts& to) const {
    return to.scheme == page_->scheme && to.host == page_->host && to.port == page_->port &&
           to.authority.find('@') == npos;
  }
  bool UnderPair(std::string_view path) const {
    return path.starts_with(pair_) && (path.size() == pair_.size() || path[pair_.size()] == '/');
  }

  std::string_view page_url_;
  std::optional<download::UrlParts> page_;
  std::string_view pair_;
  std::string root_;  // scheme://authority of the page
};

// One start or end tag: its name and the attributes a link is known by.
struct Tag {
  std::string_view name;
  bool closing = false;
  bool has_href = false, has_rel = false;
  std::string_view href;
  bool rel_next = false;
  size_t end = npos;  // just past its ">"; npos when the page ends inside it
};

void KeepAttribute(std::string_view name, std::string_view value, Tag& tag) {
  if (EqualsNoCase(name, "href") && !tag.has_href) {
    tag.has_href = true;
    tag.href = value;
  } else if (EqualsNoCase(name, "rel") && !tag.has_rel) {
    tag.has_rel = true;
    tag.rel_next = RelHoldsNext(value);
  }
}

size_t SkipSpaces(std::string_view text, size_t at) {
  while (at < text.size() && IsHtmlSpace(text[at])) ++at;
  return at;
}

// Reads the attribute value at `at` (quoted with " or ', or not) into value;
// returns the offset after it, npos when its quote never closes.
size_t ReadValue(std::string_view text, size_t at, std::string_view& value) {
  if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
    const size_t close = text.find(text[at], at + 1);
    if (close == npos) return npos;
    value = text.substr(at + 1, close - at - 1);
    return close + 1;
  }
  size_t end = at;
  while (end < text.size() && !IsHtmlSpace(text[end]) && text[end] != '>') ++end;
  value = text.substr(at, end - at);
  return end;
}

// Reads the attributes from `at` to the tag's ">" into tag.
void ReadAttributes(std::string_view text, size_t at, Tag& tag) {
  while (at != npos) {
    while (at < text.size() && (IsHtmlSpace(text[at]) || text[at] == '/')) ++at;
    if (at >= text.size()) return;
    if (text[at] == '>') {
      tag.end = at + 1;
      return;
    }
    const size_t name_start = at;
    while (at < text.size() && !IsHtmlSpace(text[at]) && text[at] != '=' && text[at] != '>' &&
           text[at] != '/')
      ++at;
    const std::string_view name = text.substr(name_start, at - name_start);
    std::string_view value;
    at = SkipSpaces(text, at);
    if (at < text.size() && text[at] == '=') at = ReadValue(text, SkipSpaces(text, at + 1), value);
    KeepAttribute(name, value, tag);
  }
}

// The tag that opens at lt ("<"); one whose name is empty is no tag (a "<"
// not followed by a letter is text).
Tag ReadTag(std::string_view text, size_t lt) {
  Tag tag;
  size_t at = lt + 1;
  tag.closing = at < text.size() && text[at] == '/';
  if (tag.closing) ++at;
  const size_t name_start = at;
  if (at >= text.size() || !IsAsciiAlnum(text[at]) || (text[at] >= '0' && text[at] <= '9'))
    return tag;
  while (at < text.size() && IsAsciiAlnum(text[at])) ++at;
  tag.name = text.substr(name_start, at - name_start);
  if (!tag.name.empty()) ReadAttributes(text, at, tag);
  return tag;
}

// Walks a page once, tag by tag, keeping the text of the anchor open.
class LinkScanner {
 public:
  LinkScanner(std::string_view text, const LinkRule& rule) : text_(text), rule_(rule) {}

  std::optional<std::string> Run() {
    size_t at = 0;
    while (at < text_.size()) {
      const size_t lt = std::min(text_.find('<', at), text_.size());
      AddText(text_.substr(at, lt - at));
      if (lt == text_.size()) break;
      at = SkipMarkup(lt);
      if (at != 0) continue;
      const Tag tag = ReadTag(text_, lt);
      if (tag.name.empty()) {
        AddText("<");
        at = lt + 1;
        continue;
      }
      if (tag.end == npos) break;  // the page ends inside the tag, which counts for nothing
      if (std::optional<std::string> link = Visit(tag)) return link;
      at = tag.end;
    }
    return CloseAnchor();
  }

 private:
  // Past a comment or a declaration at lt; 0 when none opens there, npos
  // (the page's end) when it never closes.
  size_t SkipMarkup(size_t lt) const {
    const std::string_view from = text_.substr(lt);
    // "<!-->" and "<!--->" are whole (empty) comments, so "-->" is looked for from the "--".
    const size_t close = from.starts_with("<!--")                           ? from.find("-->", 2)
                         : from.starts_with("<!") || from.starts_with("<?") ? from.find('>')
                                                                            : 0;
    if (close == 0) return 0;
    if (close == npos) return text_.size();
    return lt + close + (from[close] == '>' ? 1 : 3);
  }

  std::optional<std::string> Visit(const Tag& tag) {
    const bool anchor = EqualsNoCase(tag.name, "a");
    if (!anchor && !EqualsNoCase(tag.name, "link")) return std::nullopt;
    // An <a> ends the anchor before it, as it does in a browser.
    std::optional<std::string> link = anchor ? CloseAnchor() : std::nullopt;
    if (link || tag.closing || !tag.has_href) return link;
    if (tag.rel_next) return rule_.Take(tag.href);
    if (anchor) {
      open_ = true;
      href_ = tag.href;
      anchor_text_.clear();
      whole_ = true;
    }
    return std::nullopt;
  }

  std::optional<std::string> CloseAnchor() {
    if (!open_) return std::nullopt;
    open_ = false;
    if (!IsNextText(anchor_text_, whole_)) return std::nullopt;
    return rule_.Take(href_);
  }

  void AddText(std::string_view text) {
    if (!open_) return;
    const size_t room = kAnchorTextKept - anchor_text_.size();
    if (text.size() > room) whole_ = false;
    anchor_text_.append(text.substr(0, room));
  }

  std::string_view text_;
  const LinkRule& rule_;
  bool open_ = false;  // an <a href> whose text is being gathered
  std::string_view href_;
  std::string anchor_text_;
  bool whole_ = true;  // anchor_text_ holds all of the anchor's text so far
};

}  // namespace

std::optional<std::string> NextPageLink(const PageLines& lines, std::string_view page_url,
                                        std::string_view pair_path) {
  const LinkRule rule(page_url, pair_path);
  return LinkScanner(lines.text(), rule).Run();
}

std::optional<std::string> NextPageLinkOfPair(const PageLines& lines, std::string_view page_url,
                                              std::string_view area_code,
                                              std::string_view sub_category_code) {
  std::string path = ResultPagePath(area_code, sub_category_code);
  path.pop_back();  // its "/": "?page=2" may follow the path itself
  return NextPageLink(lines, page_url, path);
}

}  // namespace valmeric
