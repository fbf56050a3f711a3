#pragma once

#include <string>
#include <vector>

namespace valmeric::test {

// A facility as a result page lists it; texts are UTF-8 and go onto the page
// as they are (so they may hold HTML references).
struct PageFacility {
  std::string code;
  std::string name;
  std::string telephone = "011-222-3333";
  std::string postal = "〒060-0001";
  std::string address = "北海道札幌市中央区北一条西1丁目";
  std::string station = "大通駅 徒歩3分";
  std::string departments = "内科、小児科";
};

// The UTF-8 lines of a result page announcing count results and listing the
// facilities, laid out the way the site lays them out.
std::vector<std::string> ResultPageLines(int count, const std::vector<PageFacility>& facilities);

// The same page as the site sends it: EUC-JP, CR LF line ends.
// With next_href, the page links its next one: <a href="next_href">次へ</a>.
std::string ResultPageBody(int count, const std::vector<PageFacility>& facilities,
                           const std::string& next_href = {});

// Lines joined with CR LF and converted to EUC-JP.
std::string EucPage(const std::vector<std::string>& utf8_lines);

// The record fields a correct reader cuts from f, converted to Shift_JIS,
// with site_host used for the detail page address.
std::vector<std::string> ExpectedFields(const PageFacility& f, const std::string& site_host);

}  // namespace valmeric::test
