#pragma once

#include <string>

#include "facility_model.h"
#include "faults.h"
#include "site_data.h"

namespace valmeric::sitesim {

// Builds the site's pages as UTF-8 HTML; the server converts them to EUC-JP.
// The readers of these pages work line by line on trimmed lines, so every
// marker they look for starts its own line and nothing else on a page
// resembles one.
class PageRenderer final {
 public:
  explicit PageRenderer(const FacilityModel& model, NextLinkForm next_link = NextLinkForm::kQuery)
      : model_(model), next_link_(next_link) {}

  // The municipalities of one prefecture; empty when the prefecture is unknown.
  std::string CityPage(int prefecture) const;
  // The sub-category list for one city (the site shows the same list everywhere).
  std::string SubCategoryPage(int prefecture, int city_code) const;
  // One page (1-based) of the results of a (city, sub-category) pair; with
  // list_nothing, the pair's page as the site shows it when nothing matches.
  // A pair of more than one page links each page to the next in the
  // renderer's NextLinkForm.
  std::string ResultPage(int city_index, const refdata::SubCategory& sub, int page,
                         bool list_nothing = false) const;
  std::string NotFoundPage() const;
  std::string ErrorPage(int status) const;

 private:
  const FacilityModel& model_;
  NextLinkForm next_link_;
};

}  // namespace valmeric::sitesim
