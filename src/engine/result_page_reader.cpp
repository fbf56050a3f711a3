#include "engine/result_page_reader.h"

#include <algorithm>
#include <climits>
#include <limits>
#include <optional>
#include <string_view>

#include "common/network/site_address.h"
#include "common/text/char_refs.h"
#include "common/text/euc_to_ansi.h"
#include "common/text/sjis_text.h"
#include "common/text/split_text.h"
#include "common/text/strip_tags.h"
#include "common/text/text_encoding.h"

namespace valmeric {
namespace {

constexpr int kAddressSearchLines = 19;

// Shift_JIS forms of the labels and texts the reader looks for.
struct Labels {
  std::string ideographic_space = "\x81\x40";
  std::string address = Utf8ToSjis("住所");
  std::string address_label = Utf8ToSjis("住所：");
  std::string station = Utf8ToSjis("最寄駅");
  std::string station_label = Utf8ToSjis("最寄駅：");
  std::string map_link = Utf8ToSjis("地図を表示");
  std::string departments = Utf8ToSjis("診療科目");
  std::string departments_label = Utf8ToSjis("診療科目：");
};

const Labels& SjisLabels() {
  static const Labels labels;
  return labels;
}

std::string Converted(std::string_view raw_line) {
  return EucToAnsi(TrimView(raw_line));
}

// trim(StripTags(convert(trim(line)))): the visible text of a line.
std::string VisibleText(std::string_view raw_line) {
  return Trim(StripTags(Converted(raw_line)));
}

int Length(const std::string& text) {
  return static_cast<int>(text.size());
}

// Strips spaces as the site may write them around a count: ASCII, ideographic
// or &nbsp;.
std::string_view TrimCountSpaces(std::string_view text) {
  for (bool cut = true; cut;) {
    cut = false;
    for (std::string_view space : {std::string_view(" "), std::string_view("\t"),
                                   std::string_view("\x81\x40"), std::string_view("&nbsp;")}) {
      if (text.starts_with(space)) {
        text.remove_prefix(space.size());
        cut = true;
      }
      if (text.ends_with(space)) {
        text.remove_suffix(space.size());
        cut = true;
      }
    }
  }
  return text;
}

// A count as the page writes it (Shift_JIS): decimal digits, ASCII or
// full-width, with an optional "+", commas (ASCII or full-width) between
// digits and spaces around; nothing for anything else, or a count over
// INT_MAX.
std::optional<int> ParseCount(std::string_view text) {
  text = TrimCountSpaces(text);
  if (text.starts_with('+')) text.remove_prefix(1);
  long long value = 0;
  bool after_digit = false;
  while (!text.empty()) {
    const auto c = static_cast<unsigned char>(text[0]);
    const auto next = text.size() > 1 ? static_cast<unsigned char>(text[1]) : 0;
    int digit = -1;
    size_t n = 1;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c == 0x82 && next >= 0x4F && next <= 0x58) {  // ０ to ９
      digit = next - 0x4F;
      n = 2;
    } else if (c == ',' || (c == 0x81 && next == 0x43)) {  // , or ，
      if (!after_digit) return std::nullopt;
      n = c == ',' ? 1 : 2;
    } else {
      return std::nullopt;
    }
    text.remove_prefix(n);
    after_digit = digit >= 0;
    if (after_digit) {
      value = value * 10 + digit;
      if (value > std::numeric_limits<int>::max()) return std::nullopt;
    }
  }
  if (!after_digit) return std::nullopt;  // empty, or ending in a comma
  return static_cast<int>(value);
}

// Runs of white space that the site writes as &nbsp;, ideographic spaces or
// double spaces become one space.
void FoldSpaces(std::string& text) {
  ReplaceAllInPlace(text, "&nbsp;", " ");
  ReplaceAllInPlace(text, SjisLabels().ideographic_space, " ");
  ReplaceAllInPlace(text, "  ", " ");
}

bool StartsEntry(const PageLines& lines, size_t i) {
  return i + 1 < lines.size() && HasAt(TrimView(lines[i]), 2, "h1>") &&
         HasAt(TrimView(lines[i + 1]), 1, "<a ");
}

// The href of the anchor line (converted) without its leading "/", or empty.
std::string LinkPath(std::string text) {
  const int slash = Find(text, "/");
  if (slash <= 0) return {};
  text = Cut(text, slash + 1, Length(text) - slash);
  const size_t quote = text.find('"');
  if (quote == std::string::npos) return {};
  return text.substr(0, quote);
}

// The link path without its query and fragment.
std::string_view PathPart(std::string_view link_path) {
  return link_path.substr(0, link_path.find_first_of("?#"));
}

// A byte a facility code never holds.
bool NotInACode(unsigned char c) {
  return c <= ' ' || c == 0x7F || c == '"' || c == '/' || c == '?' || c == '#' || c == '&';
}

// Whether the comment state after line is open, given whether it was open
// at the line's start ("<!--" and "-->" are ASCII, never part of an EUC-JP
// character).
bool CommentOpenAfter(std::string_view line, bool open) {
  for (size_t at = 0;;) {
    const size_t mark = line.find(open ? "-->" : "<!--", at);
    if (mark == std::string_view::npos) return open;
    at = mark + (open ? 3 : 4);
    open = !open;
  }
}

// Offset from the heading line to the "<ad" line of the entry, or 0. The
// search is a few lines long and never stops for a cancel: an entry that has
// begun is read whole, or a cancel would leave its record without an address.
int AddressBlockOffset(const PageLines& lines, size_t i) {
  for (int k = 1; k <= kAddressSearchLines; ++k) {
    if (i + k + 1 >= lines.size()) return 0;
    const std::string_view t = TrimView(lines[i + k]);
    if (HasAt(t, 2, "/dl")) return 0;
    if (HasAt(t, 1, "<ad")) return k;
  }
  return 0;
}

void ReadTelephone(std::string_view raw_line, Record& record) {
  std::string t = Converted(raw_line);
  if (Find(t, "TEL") <= 0) return;
  t = Trim(StripTags(std::move(t)));
  ReplaceAllInPlace(t, "TEL.", "");
  record[kTelephone] = std::move(t);
}

void ReadAddress(std::string_view raw_line, Record& record) {
  const Labels& labels = SjisLabels();
  std::string x = VisibleText(raw_line);
  if (Find(x, labels.address) <= 0) return;
  FoldSpaces(x);
  ReplaceAllInPlace(x, labels.address_label, "");
  // The postal mark and code take the first 10 bytes, less a double-byte
  // character that would be cut in two: without a code, or with a short one,
  // byte 10 may open a character of the address.
  const size_t postal = WholeCharPrefixLength(x, 10);
  record[kPostalCode] = x.substr(0, postal);
  record[kAddress] = Trim(std::string_view(x).substr(postal));
}

void ReadStation(std::string_view raw_line, Record& record) {
  const Labels& labels = SjisLabels();
  std::string x = VisibleText(raw_line);
  const int p = Find(x, labels.station);
  if (p <= 0) return;
  x = Cut(x, p, Length(x) - p + 1);
  FoldSpaces(x);
  ReplaceAllInPlace(x, labels.map_link, "");
  ReplaceAllInPlace(x, labels.station_label, "");
  record[kStation] = Trim(std::move(x));
}

void ReadDepartments(std::string_view raw_line, Record& record) {
  const Labels& labels = SjisLabels();
  std::string x = VisibleText(raw_line);
  if (Find(x, labels.departments) <= 0) return;
  ReplaceAllInPlace(x, labels.departments_label, "");
  record[kDepartments] = Trim(std::move(x));
}

// Cuts the entry that starts at line i into a record (the code and detail
// address are already filled in).
void ReadEntryFields(const PageLines& lines, size_t i, const std::string& anchor, Record& record) {
  record[kName] = Trim(StripTags(anchor));
  const size_t block = i + static_cast<size_t>(AddressBlockOffset(lines, i));
  ReadTelephone(lines[block], record);
  if (block + 3 < lines.size()) {
    ReadAddress(lines[block + 1], record);
    ReadStation(lines[block + 2], record);
    ReadDepartments(lines[block + 3], record);
  }
  for (size_t field = kName; field <= kDepartments; ++field)
    record[field] = DecodeCharRefs(std::move(record[field]));
}

constexpr size_t kNoLine = static_cast<size_t>(-1);

// The line of the first results_number section, or kNoLine; kNoLine too
// when sink (if given) asks the reading to stop first.
size_t CountSectionLine(const PageLines& lines, ResultPageSink* sink) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (HasAt(TrimView(lines[i]), 2, "sec") && FindBytes(lines[i], "results_number") > 0) return i;
    if (sink && sink->CancelRequested()) break;
  }
  return kNoLine;
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Where lower_pattern (ASCII, lower case) first occurs in text, letters
// compared without regard to case; npos when it does not.
size_t FindNoCase(std::string_view text, std::string_view lower_pattern) {
  const auto at = std::search(text.begin(), text.end(), lower_pattern.begin(), lower_pattern.end(),
                              [](char a, char b) { return AsciiLower(a) == b; });
  return at == text.end() ? std::string_view::npos : static_cast<size_t>(at - text.begin());
}

// The charset the page's first <meta> declaration names, lower-cased; empty
// when no <meta> names one.
std::string DeclaredCharset(const PageLines& lines) {
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    const size_t meta = FindNoCase(line, "<meta");
    if (meta == std::string_view::npos) continue;
    line.remove_prefix(meta);
    const size_t at = FindNoCase(line.substr(0, line.find('>')), "charset=");
    if (at == std::string_view::npos) continue;
    line.remove_prefix(at + 8);
    while (!line.empty() && (line[0] == '"' || line[0] == '\'' || line[0] == ' '))
      line.remove_prefix(1);
    std::string name;
    for (char c : line) {
      const char lower = AsciiLower(c);
      if (!((lower >= 'a' && lower <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
        break;
      name += lower;
    }
    return name;
  }
  return {};
}

// An EUC-JP charset name, or none (a page that declares nothing).
bool IsEucJpName(std::string_view name) {
  for (std::string_view euc : {"", "euc-jp", "x-euc-jp", "eucjp", "euc_jp", "x-euc"}) {
    if (name == euc) return true;
  }
  return false;
}

}  // namespace

AnnouncedCount ReadResultCount(const PageLines& lines, ResultPageSink& sink) {
  const size_t i = CountSectionLine(lines, &sink);
  if (i == kNoLine) return {};
  if (i + 1 >= lines.size()) return {true, std::nullopt};
  std::string text = Converted(lines[i + 1]);
  const int p = Find(text, ">");
  if (p <= 0) return {true, std::nullopt};
  text = Cut(text, p + 1, Length(text) - p);
  const int q = Find(text, "<");
  if (q <= 0) return {true, std::nullopt};
  return {true, ParseCount(Cut(text, 1, q - 1))};
}

PageKind CheckResultPage(const PageLines& lines) {
  if (!IsEucJpName(DeclaredCharset(lines)) || !ReadsAsEucJp(lines.text()))
    return PageKind::kOtherEncoding;
  return CountSectionLine(lines, nullptr) == kNoLine ? PageKind::kNotAResultPage
                                                     : PageKind::kResultPage;
}

std::string FacilityCode(std::string_view link_path) {
  std::vector<std::string> segments;
  SplitText(PathPart(link_path), "/", segments);
  if (segments.empty()) return {};
  std::string& code = segments.back();
  for (char c : code) {
    if (NotInACode(static_cast<unsigned char>(c))) return {};
  }
  return std::move(code);
}

PairCounts ReadResultPage(const PageLines& lines, ResultPageSink& sink, int listed_before) {
  PairCounts counts;
  const AnnouncedCount announced = ReadResultCount(lines, sink);
  counts.cut_short = sink.CancelRequested();
  if (!announced.found || counts.cut_short) return counts;
  // A count that cannot be read caps nothing: every entry the page lists is
  // read, and the status counts against the entries read so far.
  counts.count_unreadable = !announced.value;
  counts.total = announced.value.value_or(0);
  const auto reached = [&counts, listed_before] {
    return !counts.count_unreadable &&
           static_cast<long long>(counts.done) + counts.skipped + listed_before >= counts.total;
  };
  if (reached()) return counts;

  bool in_comment = false;  // at the start of line i
  for (size_t i = 0; i < lines.size(); ++i) {
    const bool comment_after = CommentOpenAfter(lines[i], in_comment);
    if (!in_comment && !comment_after && StartsEntry(lines, i)) {
      const std::string anchor = Converted(lines[i + 1]);
      const std::string link_path = LinkPath(anchor);
      std::string code = FacilityCode(link_path);
      if (code.empty()) {
        ++counts.skipped;
      } else {
        Record record;
        record[kHspCode] = std::move(code);
        if (!sink.CheckHspCode(record[kHspCode])) {
          record[kDetailUrl] = DetailPageUrl(PathPart(link_path));
          ReadEntryFields(lines, i, anchor, record);
          sink.WriteRecord(record);
        }
        ++counts.done;
        const int shown = static_cast<int>(
            std::min<long long>(static_cast<long long>(listed_before) + counts.done, INT_MAX));
        sink.ShowPairStatus(shown, counts.count_unreadable ? shown : counts.total);
      }
    }
    in_comment = comment_after;
    if (reached()) break;
    if (sink.CancelRequested()) {
      counts.cut_short = true;
      break;
    }
  }
  return counts;
}

}  // namespace valmeric
