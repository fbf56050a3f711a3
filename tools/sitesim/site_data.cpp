#include "site_data.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <stdexcept>

#include "common/network/site_lists.h"

namespace valmeric::sitesim {
namespace {

static_assert(SiteData::kPrefectures == kPrefectureCount &&
              SiteData::kCategories == kCategoryCount);

}  // namespace

std::string_view SiteData::PrefectureName(int prefecture) {
  if (prefecture < 1 || prefecture > kPrefectures) return {};
  return kPrefectureNamesUtf8[static_cast<std::size_t>(prefecture - 1)];
}

std::string_view SiteData::CategoryName(int category) {
  if (category < 1 || category > kCategories) return {};
  return kCategoryNamesUtf8[static_cast<std::size_t>(category - 1)];
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
