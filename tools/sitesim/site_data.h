#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reference_data.h"

namespace valmeric::sitesim {

struct PostalPlace {
  std::string postal_code;  // seven digits
  std::string locality;     // address after the prefecture, up to the town
};

struct CityInfo {
  int prefecture = 0;
  int code = 0;
  std::string name;
  std::vector<PostalPlace> places;
};

// The municipalities, postal areas and sub-categories the site knows, read
// once at start from the same files the shipped database is built from.
class SiteData final {
 public:
  // Reads cities.tsv, postal.tsv and subcategories.tsv from `dir`; throws
  // std::runtime_error on a missing or malformed file.
  static SiteData Load(const std::string& dir);

  const std::vector<CityInfo>& cities() const { return cities_; }
  // The cities of one prefecture, in city code order; empty when unknown.
  std::span<const CityInfo> CitiesOf(int prefecture) const;
  // Index into cities(), or -1.
  int FindCity(int prefecture, int code) const;

  const std::vector<refdata::SubCategory>& subcategories() const { return subcategories_; }
  const refdata::SubCategory* FindSubCategory(int code) const;

  static constexpr int kPrefectures = 47;
  static constexpr int kCategories = 10;
  // UTF-8 names; prefecture 1-47, category 1-10.
  static std::string_view PrefectureName(int prefecture);
  static std::string_view CategoryName(int category);

 private:
  std::vector<CityInfo> cities_;
  std::vector<std::size_t> pref_begin_;  // kPrefectures + 2 offsets into cities_
  std::vector<refdata::SubCategory> subcategories_;
};

}  // namespace valmeric::sitesim
