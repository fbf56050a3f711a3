// The site with its data changed (a change share above 0): which facilities
// it changes, and whether /_sim/changes tells a collection's view of it.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "running_site.h"

namespace valmeric::sitesim::testing {
namespace {

constexpr double kShare = 0.1;

std::string Body(const RunningSite& site, const std::string& path) {
  const auto res = site.Get(path);
  EXPECT_TRUE(res && res->status == 200) << path;
  return res ? res->body : std::string();
}

std::set<std::string> ListedCodes(const RunningSite& site, const std::string& query) {
  std::set<std::string> codes;
  for (const auto& row : TsvRows(Body(site, "/_sim/listed?" + query))) codes.insert(row[0]);
  return codes;
}

// Every facility either model lists anywhere in the prefecture for the category, by code.
std::map<std::string, FacilityId> FacilitiesByCode(const FacilityModel& model, int pref,
                                                   int category) {
  std::map<std::string, FacilityId> ids;
  const FacilityModel usual = model.Usual();
  for (const CityInfo& city : SharedData().CitiesOf(pref)) {
    const int index = static_cast<int>(&city - SharedData().cities().data());
    for (const auto& sub : SharedData().subcategories()) {
      if (sub.category != category) continue;
      for (const FacilityModel* m : {&model, &usual}) {
        for (const FacilityId& id : m->List(index, sub).members) ids.emplace(m->Code(id), id);
      }
    }
  }
  return ids;
}

// The field labels of /_sim/changes a changed facility's ChangedFields stand for.
std::set<std::string> Labels(unsigned fields) {
  std::set<std::string> labels;
  if (fields & kChangedName) labels.insert("name");
  if (fields & kChangedAddress) labels.insert("address");
  if (fields & kChangedTelephone) labels.insert("telephone");
  if (fields & kChangedStation) labels.insert("station");
  if (fields & kChangedDepartments) labels.insert("departments");
  return labels;
}

TEST(ChangedSite, ChangesAreWhatTheModelChangedAsACollectionSeesIt) {
  RunningSite usual;
  RunningSite changed({}, kDefaultSeed, {}, kShare);
  const std::string query = "pref_no=13&ctgr=1";
  const FacilityModel& model = changed.model();
  const auto ids = FacilitiesByCode(model, 13, 1);
  const std::set<std::string> before = ListedCodes(usual, query);
  const std::set<std::string> after = ListedCodes(changed, query);
  std::map<std::string, std::set<std::string>> codes_of;
  for (const auto& row : TsvRows(Body(changed, "/_sim/changes?" + query))) {
    ASSERT_EQ(row.size(), 3u);
    const std::string& code = row[1];
    codes_of[row[0]].insert(code);
    ASSERT_EQ(ids.count(code), 1u) << code;
    const FacilityId& id = ids.at(code);
    if (row[0] == "new") {
      EXPECT_TRUE(after.count(code) == 1 && before.count(code) == 0) << code;
    } else if (row[0] == "gone") {
      EXPECT_TRUE(before.count(code) == 1 && after.count(code) == 0) << code;
    } else {
      ASSERT_EQ(row[0], "changed");
      std::set<std::string> labels;
      std::istringstream list(row[2]);
      for (std::string label; std::getline(list, label, ',');) labels.insert(label);
      // A move shows a new postal code only where the new address has one.
      if (labels.erase("postal_code") != 0) {
        EXPECT_TRUE(model.ChangedFields(id) & kChangedAddress) << code;
      }
      EXPECT_EQ(labels, Labels(model.ChangedFields(id))) << code;
    }
  }
  // What the model closed or changed among the facilities listed on both
  // sides is all there.
  for (const std::string& code : before) {
    const Fate fate = model.FateOf(ids.at(code));
    if (fate == Fate::kGone) {
      EXPECT_EQ(codes_of["gone"].count(code), 1u) << code;
    }
    if (fate == Fate::kChanged && after.count(code) != 0) {
      EXPECT_EQ(codes_of["changed"].count(code), 1u) << code;
    }
  }
  // Each kind comes in about the share asked for.
  for (const char* kind : {"new", "changed", "gone"}) {
    EXPECT_GT(codes_of[kind].size(), before.size() * kShare / 3) << kind;
    EXPECT_LT(codes_of[kind].size(), before.size() * kShare * 3) << kind;
  }
}

TEST(UsualSite, ListsNoChangesAndNothingNew) {
  RunningSite site;
  EXPECT_EQ(Body(site, "/_sim/changes?pref_no=31&ctgr=all"), "");
  EXPECT_EQ(site.model().FateOf(FacilityId{0, 1, 0}), Fate::kKept);
  EXPECT_EQ(site.Get("/_sim/changes?pref_no=48&ctgr=1")->status, 400);
}

}  // namespace
}  // namespace valmeric::sitesim::testing
