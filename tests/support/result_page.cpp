#include "support/result_page.h"

#include "support/euc.h"

namespace valmeric::test {

std::vector<std::string> ResultPageLines(int count, const std::vector<PageFacility>& facilities) {
  std::vector<std::string> lines = {
      "<!DOCTYPE html>",
      "<html lang=\"ja\">",
      "<head><meta charset=\"EUC-JP\"><title>検索結果</title>",
      "<script>var page = {\"kind\": \"result\"};</script>",
      "</head>",
      "<body>",
      "<nav><ul><li><a href=\"/\">トップ</a></li><li><a "
      "href=\"/doko/\">病院を探す</a></li></ul></nav>",
      "  <section class=\"results_number\">",
      "    <span class=\"num\">" + std::to_string(count) + "</span>件",
      "  </section>",
  };
  for (const PageFacility& f : facilities) {
    lines.push_back("<div class=\"entry\">");
    lines.push_back("  <h1>");
    lines.push_back("  <a href=\"/hospital/" + f.code + "/\">" + f.name + "</a>");
    lines.push_back("  </h1>");
    lines.push_back("  <dl>");
    lines.push_back("  <dt><img src=\"/img/icon.png\" alt=\"\"></dt>");
    lines.push_back("  <address class=\"tel\">TEL." + f.telephone + "</address>");
    lines.push_back("  <dd>住所：" + f.postal + " " + f.address + "</dd>");
    lines.push_back("  <dd>最寄駅：" + f.station + " <a href=\"/map/" + f.code +
                    "\">地図を表示</a></dd>");
    lines.push_back("  <dd>診療科目：" + f.departments + "</dd>");
    lines.push_back("  </dl>");
    lines.push_back("</div>");
  }
  lines.push_back("<footer>&copy; directory</footer>");
  lines.push_back("</body></html>");
  return lines;
}

std::string EucPage(const std::vector<std::string>& utf8_lines) {
  std::string page;
  for (const std::string& line : utf8_lines) page += line + "\r\n";
  return ToEuc(page);
}

std::string ResultPageBody(int count, const std::vector<PageFacility>& facilities) {
  return EucPage(ResultPageLines(count, facilities));
}

std::vector<std::string> ExpectedFields(const PageFacility& f, const std::string& site_host) {
  return {Sjis(f.code),        Sjis(f.name),
          Sjis(f.postal),      Sjis(f.address),
          Sjis(f.telephone),   Sjis(f.station),
          Sjis(f.departments), "https://" + site_host + "/hospital/" + f.code + "/"};
}

}  // namespace valmeric::test
