#include "site_data.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <stdexcept>

namespace valmeric::sitesim {
namespace {

constexpr std::array<std::string_view, SiteData::kPrefectures> kPrefectureNames = {
    "北海道", "青森県", "岩手県", "宮城県", "秋田県", "山形県",   "福島県", "茨城県",
    "栃木県", "群馬県", "埼玉県", "千葉県", "東京都", "神奈川県", "新潟県", "富山県",
    "石川県", "福井県", "山梨県", "長野県", "岐阜県", "静岡県",   "愛知県", "三重県",
    "滋賀県", "京都府", "大阪府", "兵庫県", "奈良県", "和歌山県", "鳥取県", "島根県",
    "岡山県", "広島県", "山口県", "徳島県", "香川県", "愛媛県",   "高知県", "福岡県",
    "佐賀県", "長崎県", "熊本県", "大分県", "宮崎県", "鹿児島県", "沖縄県"};

constexpr std::array<std::string_view, SiteData::kCategories> kCategoryNames = {
    "内科系",     "外科系",   "小児科系",           "精神科系",
    "産婦人科系", "皮膚科系", "泌尿器科・肛門科系", "眼科・耳鼻咽喉科系",
    "歯科系",     "動物病院"};

}  // namespace

std::string_view SiteData::PrefectureName(int prefecture) {
  if (prefecture < 1 || prefecture > kPrefectures) return {};
  return kPrefectureNames[static_cast<std::size_t>(prefecture - 1)];
}

std::string_view SiteData::CategoryName(int category) {
  if (category < 1 || category > kCategories) return {};
  return kCategoryNames[static_cast<std::size_t>(category - 1)];
}

SiteData SiteData::Load(const std::string& dir) {
  namespace fs = std::filesystem;
  const fs::path base(dir);
  SiteData data;
  for (auto& city : refdata::LoadCities((base / "cities.tsv").string())) {
    data.cities_.push_back(CityInfo{city.prefecture, city.code, std::move(city.name), {}});
  }
  data.subcategories_ = refdata::LoadSubCategories((base / "subcategories.tsv").string());

  data.pref_begin_.assign(kPrefectures + 2, 0);
  for (const CityInfo& c : data.cities_)
    ++data.pref_begin_[static_cast<std::size_t>(c.prefecture) + 1];
  for (std::size_t i = 1; i < data.pref_begin_.size(); ++i) {
    data.pref_begin_[i] += data.pref_begin_[i - 1];
  }

  const std::string postal_path = (base / "postal.tsv").string();
  auto rows = refdata::ReadTsv(postal_path, 4);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string where = postal_path + " row " + std::to_string(i + 1);
    int pref = refdata::ParseInt(rows[i][0], where);
    int code = refdata::ParseInt(rows[i][1], where);
    const std::string& postal = rows[i][2];
    if (postal.size() != 7 ||
        !std::all_of(postal.begin(), postal.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      throw std::runtime_error(where + ": postal code is not seven digits");
    }
    int index = data.FindCity(pref, code);
    if (index < 0) throw std::runtime_error(where + ": unknown city");
    data.cities_[static_cast<std::size_t>(index)].places.push_back(
        PostalPlace{postal, std::move(rows[i][3])});
  }
  return data;
}

std::span<const CityInfo> SiteData::CitiesOf(int prefecture) const {
  if (prefecture < 1 || prefecture > kPrefectures) return {};
  auto p = static_cast<std::size_t>(prefecture);
  return std::span<const CityInfo>(cities_).subspan(pref_begin_[p],
                                                    pref_begin_[p + 1] - pref_begin_[p]);
}

int SiteData::FindCity(int prefecture, int code) const {
  auto list = CitiesOf(prefecture);
  auto it = std::lower_bound(list.begin(), list.end(), code,
                             [](const CityInfo& c, int v) { return c.code < v; });
  if (it == list.end() || it->code != code) return -1;
  return static_cast<int>(&*it - cities_.data());
}

const refdata::SubCategory* SiteData::FindSubCategory(int code) const {
  for (const auto& s : subcategories_) {
    if (s.code == code) return &s;
  }
  return nullptr;
}

}  // namespace valmeric::sitesim
