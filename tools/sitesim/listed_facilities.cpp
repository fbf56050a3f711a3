#include "listed_facilities.h"

#include <algorithm>
#include <charconv>
#include <unordered_set>

#include "facility_details.h"

namespace valmeric::sitesim {
namespace {

std::optional<std::vector<int>> ParseList(const std::string& text, int max) {
  std::vector<int> values;
  if (text == "all") {
    for (int i = 1; i <= max; ++i) values.push_back(i);
    return values;
  }
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    std::string_view item(text.data() + start,
                          (comma == std::string::npos ? text.size() : comma) - start);
    int value = 0;
    auto [ptr, ec] = std::from_chars(item.data(), item.data() + item.size(), value);
    if (item.empty() || ec != std::errc() || ptr != item.data() + item.size() || value < 1 ||
        value > max) {
      return std::nullopt;
    }
    values.push_back(value);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  return values;
}

// The distinct facilities on the result pages the query covers, in the order
// a collection meets them.
std::vector<FacilityId> ListedIds(const FacilityModel& model, const ListedQuery& query) {
  const SiteData& data = model.data();
  std::vector<const refdata::SubCategory*> subs;
  for (const auto& s : data.subcategories()) {
    if (std::binary_search(query.categories.begin(), query.categories.end(), s.category)) {
      subs.push_back(&s);
    }
  }
  std::vector<FacilityId> ids;
  std::unordered_set<std::uint64_t> seen;
  for (int pref : query.prefectures) {
    for (const CityInfo& city : data.CitiesOf(pref)) {
      const int city_index = static_cast<int>(&city - data.cities().data());
      for (const auto* sub : subs) {
        Listing listing = model.List(city_index, *sub);
        const int shown =
            query.all_pages ? listing.total() : std::min(listing.total(), FacilityModel::kPageSize);
        for (int i = 0; i < shown; ++i) {
          const FacilityId& id = listing.members[static_cast<std::size_t>(i)];
          if (seen.insert(id.Key()).second) ids.push_back(id);
        }
      }
    }
  }
  return ids;
}

}  // namespace

std::optional<ListedQuery> ParseListedQuery(const std::string& prefectures,
                                            const std::string& categories) {
  auto prefs = ParseList(prefectures, SiteData::kPrefectures);
  auto ctgrs = ParseList(categories, SiteData::kCategories);
  if (!prefs || !ctgrs) return std::nullopt;
  return ListedQuery{std::move(*prefs), std::move(*ctgrs), true};
}

std::string ListedFacilitiesTsv(const FacilityModel& model, const ListedQuery& query) {
  std::string out;
  for (const FacilityId& id : ListedIds(model, query)) {
    FacilityDetails d = Describe(model, id);
    const std::string& name = query.decode_references ? d.name : d.name_html;
    for (const std::string* field :
         std::initializer_list<const std::string*>{&d.code, &name, &d.postal_code, &d.address,
                                                   &d.telephone, &d.station, &d.departments}) {
      out += *field;
      out += '\t';
    }
    out += d.link_path;
    out += '\n';
  }
  return out;
}

std::string ChangesTsv(const FacilityModel& model, const ListedQuery& query) {
  const FacilityModel usual = model.Usual();
  std::unordered_set<std::uint64_t> before;
  const std::vector<FacilityId> before_ids = ListedIds(usual, query);
  for (const FacilityId& id : before_ids) before.insert(id.Key());
  std::unordered_set<std::uint64_t> after;

  std::string added;
  std::string changed;
  for (const FacilityId& id : ListedIds(model, query)) {
    after.insert(id.Key());
    const FacilityDetails now = Describe(model, id);
    if (before.count(id.Key()) == 0) {
      added += "new\t" + now.code + "\t\n";
      continue;
    }
    const FacilityDetails then = Describe(usual, id);
    const std::pair<const char*, std::string FacilityDetails::*> fields[] = {
        {"name", &FacilityDetails::name},       {"postal_code", &FacilityDetails::postal_code},
        {"address", &FacilityDetails::address}, {"telephone", &FacilityDetails::telephone},
        {"station", &FacilityDetails::station}, {"departments", &FacilityDetails::departments},
        {"link", &FacilityDetails::link_path}};
    std::string differ;
    for (const auto& [label, field] : fields) {
      if (now.*field == then.*field) continue;
      if (!differ.empty()) differ += ',';
      differ += label;
    }
    if (!differ.empty()) changed += "changed\t" + now.code + "\t" + differ + "\n";
  }
  std::string gone;
  for (const FacilityId& id : before_ids) {
    if (after.count(id.Key()) == 0) gone += "gone\t" + usual.Code(id) + "\t\n";
  }
  return added + changed + gone;
}

}  // namespace valmeric::sitesim
