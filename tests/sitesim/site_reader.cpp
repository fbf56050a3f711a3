#include "site_reader.h"

#include <iconv.h>

#include <cerrno>
#include <charconv>
#include <stdexcept>

namespace valmeric::sitesim::testing {

std::string Convert(std::string_view text, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  std::string out(text.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  char* dst = out.data();
  std::size_t out_left = out.size();
  std::size_t rc = iconv(cd, &in, &in_left, &dst, &out_left);
  int err = errno;
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1)) {
    throw std::runtime_error(std::string("conversion ") + from + " -> " + to + " failed at byte " +
                             std::to_string(text.size() - in_left) + " (errno " +
                             std::to_string(err) + ")");
  }
  out.resize(out.size() - out_left);
  return out;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  std::string current;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(current));
      current.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(std::move(current));
  return lines;
}

std::string Trim(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return std::string(text.substr(b, e - b));
}

std::string StripTags(std::string_view text) {
  std::string out;
  std::size_t pos = 0;
  for (;;) {
    std::size_t lt = text.find('<', pos);
    std::size_t gt = lt == std::string_view::npos ? lt : text.find('>', lt);
    if (gt == std::string_view::npos) break;
    out.append(text.substr(pos, lt - pos));
    pos = gt + 1;
  }
  out.append(text.substr(pos));
  return out;
}

namespace {

bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

}  // namespace

std::size_t Find(std::string_view text, std::string_view sub) {
  if (text.empty() || sub.empty()) return 0;
  for (std::size_t i = 0; i + sub.size() <= text.size();) {
    if (text.compare(i, sub.size(), sub) == 0) return i + 1;
    i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return 0;
}

std::string Cut(std::string_view text, std::size_t index, std::size_t count) {
  if (index < 1) index = 1;
  if (index > text.size() || count == 0) return {};
  return std::string(text.substr(index - 1, count));
}

std::string ReplaceAll(std::string_view text, std::string_view pattern, std::string_view with) {
  auto upper = [](std::string_view s) {
    std::string u(s);
    for (char& c : u) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return u;
  };
  const std::string ut = upper(text), up = upper(pattern);
  std::string out;
  std::size_t pos = 0;
  while (!up.empty()) {
    std::size_t hit = ut.find(up, pos);
    if (hit == std::string::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(with);
    pos = hit + up.size();
  }
  out.append(text.substr(pos));
  return out;
}

std::string DecodeReferences(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      std::size_t semi = text.find(';', i);
      if (semi != std::string_view::npos && semi - i <= 8) {
        std::string_view name = text.substr(i + 1, semi - i - 1);
        int code = -1;
        if (name == "amp")
          code = '&';
        else if (name == "quot")
          code = '"';
        else if (name == "lt")
          code = '<';
        else if (name == "gt")
          code = '>';
        else if (name == "apos")
          code = '\'';
        else if (name.size() > 1 && name[0] == '#') {
          bool hex = name[1] == 'x' || name[1] == 'X';
          std::string_view digits = name.substr(hex ? 2 : 1);
          int value = 0;
          auto [p, ec] =
              std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
          if (ec == std::errc() && p == digits.data() + digits.size() && value < 128) code = value;
        }
        if (code >= 0) {
          out += static_cast<char>(code);
          i = semi;
          continue;
        }
      }
    }
    out += text[i];
  }
  return out;
}

std::vector<CityRow> ReadCityPage(std::string_view euc_body) {
  std::vector<CityRow> rows;
  auto lines = SplitLines(euc_body);
  for (std::size_t j = 1; j < lines.size(); ++j) {
    std::string t = Trim(lines[j]);
    if (t.size() < 6 || t.compare(2, 4, "i><i") != 0) continue;
    std::string prev = EucToSjis(Trim(lines[j - 1]));
    std::string code;
    if (std::size_t amp = Find(prev, "&")) {
      code = prev.substr(amp);
      code = ReplaceAll(code, "city_no=", "");
      code = ReplaceAll(code, "\">", "");
    }
    std::string name = Trim(StripTags(EucToSjis(t)));
    if (!code.empty()) rows.push_back(CityRow{code, SjisToUtf8(name)});
  }
  return rows;
}

std::vector<SubCategoryRow> ReadSubCategoryPage(std::string_view euc_body) {
  std::vector<SubCategoryRow> rows;
  int category = 0;
  for (const std::string& line : SplitLines(euc_body)) {
    std::string t = Trim(line);
    if (t.compare(0, 3, "<h4") == 0) {
      ++category;
      continue;
    }
    if (t.compare(0, 3, "<li") != 0 || line.find("kekka.php") == std::string::npos) continue;
    std::string converted = EucToSjis(t);
    std::string code;
    if (std::size_t first = Find(converted, "/")) {
      std::string rest = converted.substr(first);
      if (std::size_t second = Find(rest, "/")) {
        code = Trim(ReplaceAll(rest.substr(0, second - 1), "01027", ""));
      }
    }
    std::string name = Trim(StripTags(converted));
    if (!code.empty()) rows.push_back(SubCategoryRow{category, code, SjisToUtf8(name)});
  }
  return rows;
}

namespace {

bool At(const std::string& trimmed, std::size_t pos1, std::string_view marker) {
  return trimmed.size() >= pos1 - 1 + marker.size() &&
         trimmed.compare(pos1 - 1, marker.size(), marker) == 0;
}

std::string Clean(const std::string& raw) {
  return Trim(StripTags(EucToSjis(Trim(raw))));
}

std::string NormaliseSpaces(std::string x) {
  x = ReplaceAll(x, "&nbsp;", " ");
  x = ReplaceAll(x, "\x81\x40", " ");  // ideographic space
  return ReplaceAll(x, "  ", " ");
}

}  // namespace

ResultPage ReadResultPage(std::string_view euc_body) {
  ResultPage page;
  auto lines = SplitLines(euc_body);
  const std::string kAddress = Convert("住所", "UTF-8", "CP932");
  const std::string kAddressLabel = Convert("住所：", "UTF-8", "CP932");
  const std::string kStation = Convert("最寄駅", "UTF-8", "CP932");
  const std::string kStationLabel = Convert("最寄駅：", "UTF-8", "CP932");
  const std::string kMap = Convert("地図を表示", "UTF-8", "CP932");
  const std::string kDepartments = Convert("診療科目", "UTF-8", "CP932");
  const std::string kDepartmentsLabel = Convert("診療科目：", "UTF-8", "CP932");

  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!At(Trim(lines[i]), 2, "sec") || lines[i].find("results_number") == std::string::npos) {
      continue;
    }
    if (i + 1 >= lines.size()) break;
    std::string next = EucToSjis(Trim(lines[i + 1]));
    std::size_t p = Find(next, ">");
    if (p == 0) break;
    next = next.substr(p);
    std::size_t q = Find(next, "<");
    if (q == 0) break;
    next = next.substr(0, q - 1);
    int value = 0;
    auto [ptr, ec] = std::from_chars(next.data(), next.data() + next.size(), value);
    page.announced = (ec == std::errc() && ptr == next.data() + next.size()) ? value : 0;
    break;
  }
  if (page.announced <= 0) return page;

  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (!At(Trim(lines[i]), 2, "h1>") || !At(Trim(lines[i + 1]), 1, "<a ")) continue;
    std::string link = EucToSjis(Trim(lines[i + 1]));
    std::size_t p = Find(link, "/");
    if (p == 0) continue;
    link = link.substr(p);
    std::size_t q = link.find('"');
    if (q == std::string::npos || q == 0) continue;
    link = link.substr(0, q);
    std::string code;
    for (std::size_t start = 0; start < link.size();) {
      std::size_t slash = link.find('/', start);
      std::size_t end = slash == std::string::npos ? link.size() : slash;
      if (end > start) code = link.substr(start, end - start);
      start = end + 1;
    }
    if (code.empty()) continue;

    Record r;
    r[0] = code;
    r[7] = link;
    r[1] = Clean(lines[i + 1]);
    std::size_t offset = 0;
    for (std::size_t k = 1; k <= 19; ++k) {
      if (i + k >= lines.size() - 1) break;
      std::string t = Trim(lines[i + k]);
      if (At(t, 2, "/dl")) break;
      if (At(t, 1, "<ad")) {
        offset = k;
        break;
      }
    }
    std::string tel = EucToSjis(Trim(lines[i + offset]));
    if (Find(tel, "TEL")) r[4] = ReplaceAll(Trim(StripTags(tel)), "TEL.", "");
    if (i + offset + 3 < lines.size()) {
      std::string x = Clean(lines[i + offset + 1]);
      if (Find(x, kAddress)) {
        x = ReplaceAll(NormaliseSpaces(x), kAddressLabel, "");
        r[2] = Cut(x, 1, 10);
        r[3] = x.size() > 10 ? Trim(x.substr(10)) : std::string();
      }
      x = Clean(lines[i + offset + 2]);
      if (std::size_t at = Find(x, kStation)) {
        x = x.substr(at - 1);
        x = ReplaceAll(ReplaceAll(NormaliseSpaces(x), kMap, ""), kStationLabel, "");
        r[5] = Trim(x);
      }
      x = Clean(lines[i + offset + 3]);
      if (Find(x, kDepartments)) r[6] = Trim(ReplaceAll(x, kDepartmentsLabel, ""));
    }
    for (auto& field : r) field = DecodeReferences(SjisToUtf8(field));
    page.entries.push_back(std::move(r));
    if (static_cast<int>(page.entries.size()) >= page.announced) break;
  }
  return page;
}

}  // namespace valmeric::sitesim::testing

namespace valmeric::sitesim::testing {
namespace {

// The value of attribute `name` in an opening tag, or empty.
std::string Attribute(std::string_view tag, std::string_view name) {
  const std::string key = " " + std::string(name) + "=\"";
  const std::size_t at = tag.find(key);
  if (at == std::string_view::npos) return {};
  const std::size_t start = at + key.size();
  const std::size_t end = tag.find('"', start);
  return end == std::string_view::npos ? std::string()
                                       : std::string(tag.substr(start, end - start));
}

bool NextText(const std::string& text) {
  return text.starts_with("次") || text == ">" || text == "＞" || text == "»" || text == "&gt;" ||
         text == "次へ&gt;";
}

}  // namespace

std::vector<NextLink> FindNextLinks(std::string_view euc_body) {
  std::vector<NextLink> links;
  bool in_head = true;
  for (const std::string& line : SplitLines(euc_body)) {
    const std::string utf8 = Convert(line, "EUC-JP-MS", "UTF-8");
    if (utf8.find("</head>") != std::string::npos) in_head = false;
    for (std::size_t at = utf8.find('<'); at != std::string::npos; at = utf8.find('<', at + 1)) {
      const bool anchor = utf8.compare(at, 3, "<a ") == 0;
      if (!anchor && utf8.compare(at, 6, "<link ") != 0) continue;
      const std::size_t close = utf8.find('>', at);
      if (close == std::string::npos) break;
      const std::string_view tag(utf8.data() + at, close - at);
      NextLink link{Attribute(tag, "href"), {}, in_head};
      if (anchor) {
        const std::size_t end = utf8.find("</a>", close);
        link.text = Trim(StripTags(utf8.substr(close + 1, end - close - 1)));
      }
      const std::string read = ReplaceAll(link.text, "&raquo;", "»");
      if (Attribute(tag, "rel") == "next" || (anchor && NextText(read))) links.push_back(link);
    }
  }
  return links;
}

std::string Resolve(std::string_view page_address, std::string_view href) {
  if (href.starts_with("http://") || href.starts_with("/")) return std::string(href);
  const std::string_view path = page_address.substr(0, page_address.find('?'));
  if (href.starts_with("?")) return std::string(path) + std::string(href);
  if (href.starts_with("./")) {
    return std::string(path.substr(0, path.rfind('/') + 1)) + std::string(href.substr(2));
  }
  return "unresolved:" + std::string(href);
}

}  // namespace valmeric::sitesim::testing
