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

struct Region {
  int pref;
  int category;
};

std::string RegionName(const Region& r) {
  return "pref" + std::to_string(r.pref) + "_category" + std::to_string(r.category);
}

void PrintTo(const Region& r, std::ostream* os) {
  *os << RegionName(r);
}

class ChangedSite : public ::testing::TestWithParam<Region> {
 protected:
  static void SetUpTestSuite() {
    usual_ = new RunningSite();
    changed_ = new RunningSite({}, kDefaultSeed, {}, kShare);
  }
  static void TearDownTestSuite() {
    delete usual_;
    delete changed_;
  }
  static RunningSite* usual_;
  static RunningSite* changed_;
};

RunningSite* ChangedSite::usual_ = nullptr;
RunningSite* ChangedSite::changed_ = nullptr;

TEST_P(ChangedSite, ChangesListWhatTheModelChangedAmongWhatACollectionSees) {
  const auto [pref, category] = GetParam();
  const std::string query = "pref_no=" + std::to_string(pref) + "&ctgr=" + std::to_string(category);
  const FacilityModel& model = changed_->model();
  const auto ids = FacilitiesByCode(model, pref, category);
  const std::set<std::string> before = ListedCodes(*usual_, query);
  const std::set<std::string> after = ListedCodes(*changed_, query);
  const auto changes = TsvRows(Body(*changed_, "/_sim/changes?" + query));

  std::map<std::string, std::string> kind_of;
  std::map<std::string, int> count;
  const std::vector<std::string> order = {"new", "changed", "gone"};
  std::size_t last_kind = 0;
  for (const auto& row : changes) {
    ASSERT_EQ(row.size(), 3u);
    const std::string& kind = row[0];
    const std::string& code = row[1];
    const std::size_t rank = std::find(order.begin(), order.end(), kind) - order.begin();
    ASSERT_LT(rank, order.size()) << kind;
    EXPECT_GE(rank, last_kind) << "kinds out of order at " << code;
    last_kind = rank;
    ASSERT_TRUE(kind_of.emplace(code, kind).second) << "listed twice: " << code;
    ++count[kind];
    ASSERT_EQ(ids.count(code), 1u) << code;
    const FacilityId& id = ids.at(code);
    if (kind == "new") {
      EXPECT_TRUE(after.count(code) == 1 && before.count(code) == 0) << code;
    } else if (kind == "gone") {
      EXPECT_TRUE(before.count(code) == 1 && after.count(code) == 0) << code;
    } else {
      EXPECT_EQ(model.FateOf(id), Fate::kChanged) << code;
      std::set<std::string> labels;
      std::istringstream list(row[2]);
      for (std::string label; std::getline(list, label, ',');) labels.insert(label);
      // A move shows a new postal code only where the new address has one.
      if (labels.count("postal_code") != 0) {
        EXPECT_TRUE(model.ChangedFields(id) & kChangedAddress) << code;
        labels.erase("postal_code");
      }
      EXPECT_EQ(labels, Labels(model.ChangedFields(id))) << code;
    }
  }

  // Nothing the model changed, among what both sides show, is left out.
  for (const auto& [code, id] : ids) {
    const bool was = before.count(code) != 0, is = after.count(code) != 0;
    const auto reported = kind_of.find(code);
    const std::string kind = reported == kind_of.end() ? "" : reported->second;
    if (was && is) {
      EXPECT_EQ(kind, model.FateOf(id) == Fate::kChanged ? "changed" : "") << code;
    } else if (was) {
      EXPECT_EQ(kind, "gone") << code;
    } else if (is) {
      EXPECT_EQ(kind, "new") << code;
    }
    if (model.FateOf(id) == Fate::kGone) {
      EXPECT_FALSE(is) << code;
    }
  }
  // Each kind is there in about the share asked for.
  for (const std::string& kind : order) {
    EXPECT_GT(count[kind], static_cast<int>(before.size() * kShare / 3)) << kind;
    EXPECT_LT(count[kind], static_cast<int>(before.size() * kShare * 3)) << kind;
  }
}

INSTANTIATE_TEST_SUITE_P(Regions, ChangedSite,
                         ::testing::Values(Region{13, 1}, Region{31, 1}, Region{1, 9}),
                         [](const auto& info) { return RegionName(info.param); });

TEST(UsualSite, ListsNoChangesAndNothingNew) {
  RunningSite site;
  EXPECT_EQ(Body(site, "/_sim/changes?pref_no=31&ctgr=all"), "");
  EXPECT_EQ(site.model().FateOf(FacilityId{0, 1, 0}), Fate::kKept);
  EXPECT_EQ(site.Get("/_sim/changes?pref_no=48&ctgr=1")->status, 400);
}

}  // namespace
}  // namespace valmeric::sitesim::testing
