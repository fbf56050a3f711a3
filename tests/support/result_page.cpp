#include "support/result_page.h"

#include <string_view>
#include <utility>

#include "support/euc.h"
#include "support/test_pages.h"

namespace valmeric::test {

namespace {

using Values = std::vector<std::pair<std::string_view, std::string>>;

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    lines.emplace_back(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return lines;
}

// The line with every {name} of values replaced by its value.
std::string Filled(std::string line, const Values& values) {
  for (const auto& [name, value] : values) {
    const std::string marker = "{" + std::string(name) + "}";
    for (size_t at = line.find(marker); at != std::string::npos;
         at = line.find(marker, at + value.size())) {
      line.replace(at, marker.size(), value);
    }
  }
  return line;
}

}  // namespace

std::vector<std::string> ResultPageLines(int count, const std::vector<PageFacility>& facilities) {
  std::vector<std::string> lines;
  for (const std::string& line : Lines(pages::kResultPage)) {
    if (line != "{entries}") {
      lines.push_back(Filled(line, {{"count", std::to_string(count)}}));
      continue;
    }
    for (const PageFacility& f : facilities) {
      const Values values = {{"code", f.code},
                             {"name", f.name},
                             {"telephone", f.telephone},
                             {"postal", f.postal},
                             {"address", f.address},
                             {"station", f.station},
                             {"departments", f.departments}};
      for (const std::string& entry_line : Lines(pages::kResultEntry))
        lines.push_back(Filled(entry_line, values));
    }
  }
  return lines;
}

std::string EucPage(const std::vector<std::string>& utf8_lines) {
  std::string page;
  for (const std::string& line : utf8_lines) page += line + "\r\n";
  return ToEuc(page);
}

std::string ResultPageBody(int count, const std::vector<PageFacility>& facilities,
                           const std::string& next_href) {
  std::vector<std::string> lines = ResultPageLines(count, facilities);
  if (!next_href.empty()) {
    lines.insert(lines.end() - 1, "<li class=\"next\"><a href=\"" + next_href + "\">次へ</a></li>");
  }
  return EucPage(lines);
}

std::vector<std::string> ExpectedFields(const PageFacility& f, const std::string& site_host) {
  return {Sjis(f.code),        Sjis(f.name),
          Sjis(f.postal),      Sjis(f.address),
          Sjis(f.telephone),   Sjis(f.station),
          Sjis(f.departments), "https://" + site_host + "/hospital/" + f.code + "/"};
}

}  // namespace valmeric::test
