#pragma once

#include <string>
#include <vector>

#include "facility_model.h"

namespace valmeric::sitesim {

// What a result page shows about one facility. The plain fields hold the
// values a careful reader extracts from the entry (character references
// decoded, spacing normalised); the remaining fields only shape the markup.
struct FacilityDetails {
  std::string code;
  std::string link_path;  // href without its leading "/", e.g. "hospital/0110112345/"
  std::string name;
  std::string postal_code;  // "〒060-0042"
  std::string address;      // starts with the prefecture
  std::string telephone;    // empty when the facility does not publish one
  std::string station;      // "札幌駅 徒歩5分"; empty when the entry has no station line
  std::string departments;  // "内科、消化器内科"

  std::string name_html;    // the name as written in the page
  std::string address_gap;  // markup between postal code and address
  std::string station_gap;  // markup between station and the way to walk or ride
  std::string access_note;  // shown in place of the station line when station is empty
  std::vector<std::string> features;
};

FacilityDetails Describe(const FacilityModel& model, const FacilityId& id);

}  // namespace valmeric::sitesim
