#include "support/small_site.h"

#include "support/test_database.h"

namespace valmeric::test {

void CreateSmallSiteDatabase(const std::string& path) {
  CreateTestDatabase(path, {{1, 101, "札幌市中央区"}, {1, 202, "函館市"}, {2, 201, "青森市"}},
                     {{1, 110, "一般内科"}, {1, 120, "循環器内科"}, {9, 910, "一般歯科"}});
}

const std::vector<std::string>& SmallSitePairs() {
  static const std::vector<std::string> pairs = {"01101110", "01101120", "01202110", "01202120"};
  return pairs;
}

std::vector<PageFacility> NumberedFacilities(int from, int to, const std::string& name_stem) {
  std::vector<PageFacility> list;
  for (int i = from; i <= to; ++i) {
    PageFacility f;
    f.code = "0110" + std::to_string(100000 + i);
    f.name = name_stem + std::to_string(i);
    list.push_back(f);
  }
  return list;
}

}  // namespace valmeric::test
