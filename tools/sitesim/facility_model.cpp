#include "facility_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "hash.h"

namespace valmeric::sitesim {
namespace {

// Rough share of facilities per category, relative to internal medicine.
constexpr std::array<double, SiteData::kCategories> kCategoryWeight = {1.0,  0.45, 0.3, 0.15, 0.1,
                                                                       0.25, 0.12, 0.3, 0.85, 0.15};

// General hospitals also take part in these categories.
constexpr bool HospitalCategory(int category) {
  return category >= 2 && category <= 8;
}

bool EndsWith(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Typical number of internal-medicine facilities of a municipality.
double CityWeight(const CityInfo& city) {
  if (city.places.empty()) return 0.0;
  if (EndsWith(city.name, "区")) return city.prefecture == 13 ? 70.0 : 45.0;
  if (EndsWith(city.name, "市")) return 14.0;
  if (EndsWith(city.name, "町")) return 3.5;
  return 1.2;
}

}  // namespace

FacilityModel::FacilityModel(const SiteData& data, std::uint64_t seed, double density,
                             double change_share)
    : data_(data),
      seed_(seed),
      density_(density),
      change_share_(change_share),
      general_code_(SiteData::kCategories + 1, -1) {
  for (const auto& s : data_.subcategories()) {
    auto& code = general_code_[static_cast<std::size_t>(s.category)];
    if (code < 0) code = s.code;
  }
}

int FacilityModel::UsualPoolSize(int city_index, int category) const {
  const CityInfo& city = data_.cities()[static_cast<std::size_t>(city_index)];
  // A city-wide factor (some towns are just bigger) times a per-category wobble.
  double city_factor = std::exp(
      1.6 * (Unit(Hash({seed_, Tag("city"), static_cast<std::uint64_t>(city_index)})) - 0.5));
  double wobble = 0.7 + 0.6 * Unit(Hash({seed_, Tag("pool"), static_cast<std::uint64_t>(city_index),
                                         static_cast<std::uint64_t>(category)}));
  double expected = CityWeight(city) * city_factor * wobble *
                    kCategoryWeight[static_cast<std::size_t>(category - 1)] * density_;
  double whole = std::floor(expected);
  double frac = expected - whole;
  bool round_up = Unit(Hash({seed_, Tag("round"), static_cast<std::uint64_t>(city_index),
                             static_cast<std::uint64_t>(category)})) < frac;
  // Codes number a city's facilities of one category with four digits.
  return std::min(9999, static_cast<int>(whole) + (round_up ? 1 : 0));
}

int FacilityModel::PoolSize(int city_index, int category) const {
  const int usual = UsualPoolSize(city_index, category);
  if (change_share_ <= 0.0) return usual;
  const double added = usual * change_share_;
  const double whole = std::floor(added);
  const bool round_up = Unit(Hash({seed_, Tag("newround"), static_cast<std::uint64_t>(city_index),
                                   static_cast<std::uint64_t>(category)})) < added - whole;
  return std::min(9999, usual + static_cast<int>(whole) + (round_up ? 1 : 0));
}

Fate FacilityModel::FateOf(const FacilityId& id) const {
  if (change_share_ <= 0.0) return Fate::kKept;
  if (id.index >= UsualPoolSize(id.city_index, id.category)) return Fate::kNew;
  const double u = Unit(Hash({seed_, Tag("fate"), id.Key()}));
  return u < change_share_ ? Fate::kGone : u < 2 * change_share_ ? Fate::kChanged : Fate::kKept;
}

unsigned FacilityModel::ChangedFields(const FacilityId& id) const {
  if (FateOf(id) != Fate::kChanged) return 0;
  Rng rng(Hash({seed_, Tag("changes"), id.Key()}));
  constexpr int kKinds = 5;
  unsigned fields = 1u << rng.Below(kKinds);
  if (rng.Chance(0.3)) fields |= 1u << rng.Below(kKinds);
  if ((fields & kChangedDepartments) != 0 && AddedSubCategory(id) < 0) {
    fields = (fields & ~kChangedDepartments) | kChangedTelephone;
  }
  return fields;
}

int FacilityModel::AddedSubCategory(const FacilityId& id) const {
  std::vector<int> candidates;
  for (const auto& s : data_.subcategories()) {
    if (s.category == id.category && !UsuallyListedUnder(id, s)) candidates.push_back(s.code);
  }
  if (candidates.empty()) return -1;
  const std::uint64_t pick = Hash({seed_, Tag("added-sub"), id.Key()}) % candidates.size();
  return candidates[static_cast<std::size_t>(pick)];
}

int FacilityModel::HospitalCount(int city_index) const {
  int internal = UsualPoolSize(city_index, 1);
  int wanted =
      internal / 12 +
      (Unit(Hash({seed_, Tag("hospitals"), static_cast<std::uint64_t>(city_index)})) < 0.3 ? 1 : 0);
  return std::min(internal, wanted);
}

bool FacilityModel::IsHospital(const FacilityId& id) const {
  return id.category == 1 && id.index < HospitalCount(id.city_index);
}

bool FacilityModel::IsBoundary(const FacilityId& id) const {
  return Unit(Hash({seed_, Tag("boundary"), id.Key()})) < 0.05;
}

bool FacilityModel::ListedUnder(const FacilityId& id, const refdata::SubCategory& sub) const {
  if (change_share_ > 0.0) {
    switch (FateOf(id)) {
      case Fate::kGone:
        return false;
      case Fate::kChanged:
        if ((ChangedFields(id) & kChangedDepartments) != 0 && AddedSubCategory(id) == sub.code) {
          return true;
        }
        break;
      default:
        break;
    }
  }
  return UsuallyListedUnder(id, sub);
}

bool FacilityModel::UsuallyListedUnder(const FacilityId& id,
                                       const refdata::SubCategory& sub) const {
  const bool main_sub = general_code_[static_cast<std::size_t>(sub.category)] == sub.code;
  double p;
  if (sub.category == id.category) {
    // The first sub-category of a category is its general one.
    p = main_sub
            ? 0.85
            : 0.12 +
                  0.3 * Unit(Hash({seed_, Tag("subshare"), static_cast<std::uint64_t>(sub.code)}));
  } else if (HospitalCategory(sub.category) && IsHospital(id)) {
    p = main_sub ? 0.6 : 0.3;
  } else {
    return false;
  }
  return Unit(Hash({seed_, Tag("listed"), id.Key(), static_cast<std::uint64_t>(sub.code)})) < p;
}

void FacilityModel::Collect(int city_index, const refdata::SubCategory& sub, bool boundary_only,
                            std::vector<FacilityId>& out) const {
  auto consider = [&](const FacilityId& id) {
    if (boundary_only && !IsBoundary(id)) return;
    if (ListedUnder(id, sub)) out.push_back(id);
  };
  int pool = PoolSize(city_index, sub.category);
  for (int i = 0; i < pool; ++i) consider(FacilityId{city_index, sub.category, i});
  if (sub.category != 1 && HospitalCategory(sub.category)) {
    int hospitals = HospitalCount(city_index);
    for (int i = 0; i < hospitals; ++i) consider(FacilityId{city_index, 1, i});
  }
}

Listing FacilityModel::List(int city_index, const refdata::SubCategory& sub) const {
  Listing listing;
  const auto& cities = data_.cities();
  if (city_index < 0 || static_cast<std::size_t>(city_index) >= cities.size()) return listing;
  Collect(city_index, sub, false, listing.members);
  // Facilities near the boundary with the previous city of the prefecture
  // show up in both.
  if (city_index > 0 && cities[static_cast<std::size_t>(city_index) - 1].prefecture ==
                            cities[static_cast<std::size_t>(city_index)].prefecture) {
    Collect(city_index - 1, sub, true, listing.members);
  }
  auto rank = [&](const FacilityId& id) { return Hash({seed_, Tag("rank"), id.Key()}); };
  std::sort(listing.members.begin(), listing.members.end(),
            [&](const FacilityId& a, const FacilityId& b) { return rank(a) < rank(b); });
  return listing;
}

std::vector<const refdata::SubCategory*> FacilityModel::SubCategoriesOf(
    const FacilityId& id) const {
  std::vector<const refdata::SubCategory*> result;
  for (const auto& s : data_.subcategories()) {
    if (ListedUnder(id, s)) result.push_back(&s);
  }
  return result;
}

std::string FacilityModel::Code(const FacilityId& id) const {
  const CityInfo& city = data_.cities()[static_cast<std::size_t>(id.city_index)];
  // A bijection of the five-digit space, so codes within a city never clash
  // yet do not give away pool positions.
  std::uint64_t salt =
      Hash({seed_, Tag("code"), static_cast<std::uint64_t>(id.city_index)}) % 100000;
  std::uint64_t local = static_cast<std::uint64_t>((id.category - 1) * 10000 + id.index);
  std::uint64_t scrambled = (local * 7919 + salt) % 100000;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d%03d%05u", city.prefecture, city.code,
                static_cast<unsigned>(scrambled));
  return buf;
}

}  // namespace valmeric::sitesim
