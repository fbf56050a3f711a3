#pragma once

#include <optional>
#include <string>
#include <vector>

#include "facility_model.h"

namespace valmeric::sitesim {

struct ListedQuery {
  std::vector<int> prefectures;  // ascending, distinct
  std::vector<int> categories;   // ascending, distinct
  // Names as a reader that decodes character references sees them; with
  // false, as they stand in the markup (after tag removal only).
  bool decode_references = true;
  // Every page of each pair, not only its first.
  bool all_pages = false;
};

// Parses "all" or a comma list such as "1,13,47" for each parameter;
// nullopt when a value is malformed or out of range.
std::optional<ListedQuery> ParseListedQuery(const std::string& prefectures,
                                            const std::string& categories);

// One UTF-8 TSV line per distinct facility shown on the first result page of
// any (city, sub-category) pair the query covers (with all_pages, on any of
// its pages), in the order a client that walks cities, then sub-categories in
// page order, then a pair's pages in order, meets them first:
// code, name, postal code, address, telephone, station, departments, link path.
std::string ListedFacilitiesTsv(const FacilityModel& model, const ListedQuery& query);

// What a collection of the query sees changed against the site's usual data
// (FacilityModel::Usual), one UTF-8 TSV line per facility: "new", "changed"
// or "gone", the code, and for a changed facility the fields that differ,
// comma-joined from name, postal_code, address, telephone, station,
// departments and link. New and changed facilities come in this site's
// order, then gone ones in the usual site's order. Besides the facilities
// the model changed, this counts those that moved on or off the first result
// pages (all pages, with all_pages) because others came or went.
std::string ChangesTsv(const FacilityModel& model, const ListedQuery& query);

}  // namespace valmeric::sitesim
