#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "site_data.h"

namespace valmeric::sitesim {

// A facility is identified by its home city, the category whose pool it
// belongs to and its index in that pool. Everything else about it follows
// from this and the seed.
struct FacilityId {
  int city_index = 0;
  int category = 0;
  int index = 0;

  std::uint64_t Key() const {
    return (static_cast<std::uint64_t>(city_index) << 24) |
           (static_cast<std::uint64_t>(category) << 16) | static_cast<std::uint64_t>(index);
  }
  friend bool operator==(const FacilityId&, const FacilityId&) = default;
};

// What became of a facility when the site shows itself some time later than
// its usual data (a change share above 0).
enum class Fate { kKept, kNew, kGone, kChanged };

// The fields a changed facility shows differently (bits of ChangedFields).
enum ChangedField : unsigned {
  kChangedName = 1u << 0,
  kChangedAddress = 1u << 1,  // a move: address, and the postal code where it differs
  kChangedTelephone = 1u << 2,
  kChangedStation = 1u << 3,
  kChangedDepartments = 1u << 4,  // listed under one more sub-category of its own category
};

// Every facility a (city, sub-category) pair lists, in the site's order.
struct Listing {
  std::vector<FacilityId> members;
  int total() const { return static_cast<int>(members.size()); }
};

// Who is listed where. Each city has a pool of facilities per category; a
// facility appears under several sub-categories of its category, a few
// general hospitals also under other categories, and some facilities near a
// city boundary under the neighbouring city too.
//
// With a change share s above 0 the site shows a later state of the same
// data: a share s of the facilities is gone, another share s has changed
// fields, and every pool has grown by s times its size with new facilities.
class FacilityModel final {
 public:
  static constexpr int kPageSize = 20;

  // density scales every pool (1 is the usual size; a larger site for
  // benchmarks); change_share is s above, from 0 to 0.5.
  FacilityModel(const SiteData& data, std::uint64_t seed, double density = 1.0,
                double change_share = 0.0);

  Listing List(int city_index, const refdata::SubCategory& sub) const;
  // Whether `id` appears on the pages of `sub` (in its home city, and in the
  // neighbouring city when it is a boundary facility).
  bool ListedUnder(const FacilityId& id, const refdata::SubCategory& sub) const;
  // The sub-categories `id` is listed under, in page order.
  std::vector<const refdata::SubCategory*> SubCategoriesOf(const FacilityId& id) const;

  bool IsHospital(const FacilityId& id) const;
  // The ten-digit facility code: prefecture, city, then a number unique in the city.
  std::string Code(const FacilityId& id) const;

  Fate FateOf(const FacilityId& id) const;
  // ChangedField bits; 0 unless the facility's fate is kChanged.
  unsigned ChangedFields(const FacilityId& id) const;
  // The same site with its usual data.
  FacilityModel Usual() const { return FacilityModel(data_, seed_, density_); }

  const SiteData& data() const { return data_; }
  std::uint64_t seed() const { return seed_; }
  double change_share() const { return change_share_; }

 private:
  int UsualPoolSize(int city_index, int category) const;
  int PoolSize(int city_index, int category) const;
  bool UsuallyListedUnder(const FacilityId& id, const refdata::SubCategory& sub) const;
  // The sub-category of its own category a facility with changed departments
  // is listed under in addition, or -1 when it already has them all.
  int AddedSubCategory(const FacilityId& id) const;
  int HospitalCount(int city_index) const;
  bool IsBoundary(const FacilityId& id) const;
  void Collect(int city_index, const refdata::SubCategory& sub, bool boundary_only,
               std::vector<FacilityId>& out) const;

  const SiteData& data_;
  std::uint64_t seed_;
  double density_;
  double change_share_;
  std::vector<int> general_code_;  // per category: its first sub-category's code
};

}  // namespace valmeric::sitesim
