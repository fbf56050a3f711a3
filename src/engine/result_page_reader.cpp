#include "engine/result_page_reader.h"

#include <charconv>

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

std::string Converted(const std::string& raw_line) {
  return EucToAnsi(TrimView(raw_line));
}

// trim(StripTags(convert(trim(line)))): the visible text of a line.
std::string VisibleText(const std::string& raw_line) {
  return Trim(StripTags(Converted(raw_line)));
}

int Length(const std::string& text) {
  return static_cast<int>(text.size());
}

// A plain signed decimal integer, or 0.
int ParseCount(const std::string& text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  int value = 0;
  const auto [ptr, error] = std::from_chars(begin, end, value);
  if (error != std::errc() || ptr != end || begin == end) return 0;
  return value;
}

// Runs of white space that the site writes as &nbsp;, ideographic spaces or
// double spaces become one space.
void FoldSpaces(std::string& text) {
  ReplaceAllInPlace(text, "&nbsp;", " ");
  ReplaceAllInPlace(text, SjisLabels().ideographic_space, " ");
  ReplaceAllInPlace(text, "  ", " ");
}

bool StartsEntry(const std::vector<std::string>& lines, size_t i) {
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

// Offset from the heading line to the "<ad" line of the entry, or 0.
int AddressBlockOffset(const std::vector<std::string>& lines, size_t i, ResultPageSink& sink) {
  for (int k = 1; k <= kAddressSearchLines; ++k) {
    if (sink.CancelRequested() || i + k + 1 >= lines.size()) return 0;
    const std::string_view t = TrimView(lines[i + k]);
    if (HasAt(t, 2, "/dl")) return 0;
    if (HasAt(t, 1, "<ad")) return k;
  }
  return 0;
}

void ReadTelephone(const std::string& raw_line, Record& record) {
  std::string t = Converted(raw_line);
  if (Find(t, "TEL") <= 0) return;
  t = Trim(StripTags(std::move(t)));
  ReplaceAllInPlace(t, "TEL.", "");
  record[kTelephone] = std::move(t);
}

void ReadAddress(const std::string& raw_line, Record& record) {
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

void ReadStation(const std::string& raw_line, Record& record) {
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

void ReadDepartments(const std::string& raw_line, Record& record) {
  const Labels& labels = SjisLabels();
  std::string x = VisibleText(raw_line);
  if (Find(x, labels.departments) <= 0) return;
  ReplaceAllInPlace(x, labels.departments_label, "");
  record[kDepartments] = Trim(std::move(x));
}

// Cuts the entry that starts at line i into a record (the code and detail
// address are already filled in).
void ReadEntryFields(const std::vector<std::string>& lines, size_t i, const std::string& anchor,
                     ResultPageSink& sink, Record& record) {
  record[kName] = Trim(StripTags(anchor));
  const size_t block = i + static_cast<size_t>(AddressBlockOffset(lines, i, sink));
  ReadTelephone(lines[block], record);
  if (block + 3 < lines.size()) {
    ReadAddress(lines[block + 1], record);
    ReadStation(lines[block + 2], record);
    ReadDepartments(lines[block + 3], record);
  }
  for (size_t field = kName; field <= kDepartments; ++field)
    record[field] = DecodeCharRefs(std::move(record[field]));
}

}  // namespace

int ReadResultCount(const std::vector<std::string>& lines, ResultPageSink& sink) {
  for (size_t i = 0; i < lines.size(); ++i) {
    const bool announces =
        HasAt(TrimView(lines[i]), 2, "sec") && FindBytes(lines[i], "results_number") > 0;
    if (!announces) {
      if (sink.CancelRequested()) return 0;
      continue;
    }
    if (i + 1 >= lines.size()) return 0;
    std::string text = Converted(lines[i + 1]);
    const int p = Find(text, ">");
    if (p <= 0) return 0;
    text = Cut(text, p + 1, Length(text) - p);
    const int q = Find(text, "<");
    if (q <= 0) return 0;
    return ParseCount(Cut(text, 1, q - 1));
  }
  return 0;
}

PairCounts ReadResultPage(const std::vector<std::string>& lines, ResultPageSink& sink) {
  PairCounts counts;
  counts.total = ReadResultCount(lines, sink);
  if (counts.total <= 0 || sink.CancelRequested()) return counts;

  for (size_t i = 0; i < lines.size(); ++i) {
    if (StartsEntry(lines, i)) {
      const std::string anchor = Converted(lines[i + 1]);
      const std::string link_path = LinkPath(anchor);
      std::vector<std::string> segments;
      SplitText(link_path, "/", segments);
      if (!segments.empty()) {
        Record record;
        record[kHspCode] = segments.back();
        if (!sink.CheckHspCode(record[kHspCode])) {
          record[kDetailUrl] = DetailPageUrl(link_path);
          ReadEntryFields(lines, i, anchor, sink, record);
          sink.WriteRecord(record);
        }
        ++counts.done;
        sink.ShowPairStatus(counts.done, counts.total);
      }
    }
    if (counts.done >= counts.total || sink.CancelRequested()) break;
  }
  return counts;
}

}  // namespace valmeric
