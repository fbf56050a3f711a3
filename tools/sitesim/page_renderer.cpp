#include "page_renderer.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "facility_details.h"

namespace valmeric::sitesim {
namespace {

std::string Pad(int value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, value);
  return buf;
}

std::string AreaCode(int prefecture, int city_code) {
  return Pad(prefecture, 2) + Pad(city_code, 3);
}

// Page text is kept as a list of lines and joined at the end with the
// site's line break.
class Html final {
 public:
  Html& operator<<(std::string_view line) {
    text_.append(line);
    text_.append(eol_);
    return *this;
  }
  void UseCrLf() { eol_ = "\r\n"; }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
  std::string_view eol_ = "\n";
};

// head_link: one more line for the head, such as a <link rel="next">.
void Head(Html& h, const std::string& title, std::string_view body_id,
          const std::string& head_link = {}) {
  h << "<!DOCTYPE html>"
    << "<html lang=\"ja\">"
    << "<head>"
    << "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">"
    << "<title>" + title + " - 病院なび</title>"
    << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
    << "<meta name=\"description\" "
       "content=\"全国の病院・クリニック・歯科・動物病院を地域と診療科目から検索できます。\">"
    << "<link rel=\"stylesheet\" href=\"/css/style.css\">";
  if (!head_link.empty()) h << head_link;
  h << "<script src=\"/js/jquery.min.js\"></script>"
    << "<script src=\"/js/common.js\"></script>"
    << "</head>"
    << "<body id=\"" + std::string(body_id) + "\">"
    << "<div id=\"wrapper\">"
    << "<header id=\"header\">"
    << "\t<div class=\"header_inner\">"
    << "\t\t<h1 id=\"logo\"><a href=\"/\"><img src=\"/img/logo.png\" alt=\"病院なび\"></a></h1>"
    << "\t\t<p class=\"catch\">全国の病院・クリニックを地域と診療科目から検索</p>"
    << "\t</div>"
    << "\t<nav id=\"gnav\">"
    << "\t\t<ul>"
    << "\t\t\t<li><a href=\"/\">ホーム</a></li>"
    << "\t\t\t<li><a href=\"/doko/\">地域から探す</a></li>"
    << "\t\t\t<li><a href=\"/kamoku/\">診療科目から探す</a></li>"
    << "\t\t\t<li><a href=\"/info/\">ご利用案内</a></li>"
    << "\t\t</ul>"
    << "\t</nav>"
    << "</header>"
    << "<div id=\"contents\">";
}

void Foot(Html& h) {
  h << "</div>"
    << "<footer id=\"footer\">"
    << "\t<ul class=\"fnav\">"
    << "\t\t<li><a href=\"/company/\">運営会社</a></li>"
    << "\t\t<li><a href=\"/privacy/\">プライバシーポリシー</a></li>"
    << "\t\t<li><a href=\"/contact/\">お問い合わせ</a></li>"
    << "\t</ul>"
    << "\t<p class=\"copyright\">&copy; 病院なび All Rights Reserved.</p>"
    << "</footer>"
    << "</div>"
    << "<script>"
    << "$(function () {"
    << "  $('.pagetop').on('click', function () { $('html, body').animate({scrollTop: 0}); });"
    << "});"
    << "</script>"
    << "</body>"
    << "</html>";
}

void Crumbs(Html& h, const std::vector<std::string>& items) {
  h << "<div id=\"breadcrumb\">"
    << "\t<ol>"
    << "\t\t<li><a href=\"/\">ホーム</a></li>";
  for (const auto& item : items) h << "\t\t<li>" + item + "</li>";
  h << "\t</ol>"
    << "</div>";
}

void Entry(Html& h, const FacilityDetails& d) {
  h << "<div class=\"hsp_box\">"
    << "\t<dl class=\"hsp_detail\">"
    << "\t\t<dt class=\"hsp_name\">"
    << "\t\t\t<h1>"
    << "\t\t\t<a href=\"/" + d.link_path + "\">" + d.name_html + "</a>"
    << "\t\t\t</h1>";
  if (!d.features.empty()) {
    h << "\t\t\t<ul class=\"hsp_feature\">";
    for (const auto& f : d.features) h << "\t\t\t\t<li>" + f + "</li>";
    h << "\t\t\t</ul>";
  }
  h << "\t\t</dt>";
  if (d.telephone.empty()) {
    h << "\t\t<address class=\"tel\">電話番号：非公開</address>";
  } else {
    h << "\t\t<address class=\"tel\">TEL." + d.telephone + "</address>";
  }
  // The postal code and the address are one space apart, however the page
  // happens to spell that space.
  h << "\t\t<dd>住所：" + d.postal_code + d.address_gap + d.address + "</dd>";
  if (d.station.empty()) {
    h << "\t\t<dd>アクセス：" + d.access_note + "</dd>";
  } else {
    std::string station = d.station;
    std::size_t space = station.find(' ');
    if (space != std::string::npos) station.replace(space, 1, d.station_gap);
    h << "\t\t<dd>最寄駅：" + station + " <a href=\"/map/" + d.code + "/\">地図を表示</a></dd>";
  }
  h << "\t\t<dd>診療科目：" + d.departments + "</dd>"
    << "\t</dl>"
    << "\t<p class=\"more\"><a href=\"/" + d.link_path + "\">詳細を見る</a></p>"
    << "</div>";
}

// The link from page `page` of `pages` to the next one; none when there is
// no next page. self is the pair's result path, ending in '/'.
struct NextLink {
  std::string href;
  std::string text;  // empty: a <link rel="next"> in the head, no anchor
};

std::optional<NextLink> NextLinkOf(NextLinkForm form, const std::string& self, int sub_code,
                                   int page, int pages) {
  if (pages < 2) return std::nullopt;
  if (form == NextLinkForm::kLoop) {
    // The last page leads back to the first, and so on for ever.
    return NextLink{self + "?page=" + std::to_string(page % pages + 1), "次へ"};
  }
  if (page >= pages) return std::nullopt;
  const std::string next = std::to_string(page + 1);
  switch (form) {
    case NextLinkForm::kRel:
      return NextLink{self + "?page=" + next, {}};
    case NextLinkForm::kPath:
      return NextLink{self + "page/" + next + "/", "次のページ"};
    case NextLinkForm::kRelative: {
      // The texts take turns by page and sub-category, so that even a site
      // of two-page pairs shows each of them; every other one is "./?page=N".
      static constexpr const char* kTexts[] = {"次の20件 &gt;", "＞", "&raquo;", "&gt;"};
      const int turn = (page + sub_code) % 4;
      return NextLink{(turn % 2 == 0 ? "?page=" : "./?page=") + next, kTexts[turn]};
    }
    case NextLinkForm::kOtherHost:
      return NextLink{"http://other.example.invalid" + self + "?page=" + next, "次へ"};
    default:
      return NextLink{self + "?page=" + next, "次へ"};
  }
}

// The numbered links, then the next page's anchor when it has one.
void Pager(Html& h, const std::string& self, int page, int pages,
           const std::optional<NextLink>& next) {
  h << "<div class=\"pager\">"
    << "\t<ul>";
  for (int p = 1; p <= pages; ++p) {
    if (p == page) {
      h << "\t\t<li class=\"current\"><span>" + std::to_string(p) + "</span></li>";
    } else {
      h << "\t\t<li><a href=\"" + self + "?page=" + std::to_string(p) + "\">" + std::to_string(p) +
               "</a></li>";
    }
  }
  if (next && !next->text.empty()) {
    h << "\t\t<li class=\"next\"><a href=\"" + next->href + "\">" + next->text + "</a></li>";
  }
  h << "\t</ul>"
    << "</div>";
}

}  // namespace

std::string PageRenderer::CityPage(int prefecture) const {
  const SiteData& data = model_.data();
  auto cities = data.CitiesOf(prefecture);
  if (cities.empty()) return {};
  const std::string pref(SiteData::PrefectureName(prefecture));
  Html h;
  Head(h, pref + "の病院・クリニック", "city");
  Crumbs(h, {"<a href=\"/doko/\">地域から探す</a>", pref});
  h << "<h2 class=\"ttl\">" + pref + "の市区町村から探す</h2>"
    << "<p class=\"lead\">市区町村を選択してください。</p>"
    << "<div class=\"city_box\">"
    << "<ul class=\"city_list\">";
  const std::string pref_no = std::to_string(prefecture);
  for (const CityInfo& c : cities) {
    h << "\t<a href=\"/doko/search.php?pref_no=" + pref_no + "&city_no=" + std::to_string(c.code) +
             "\">"
      << "\t\t<li><i class=\"ico\"></i>" + c.name + "</li>"
      << "\t</a>";
  }
  h << "</ul>"
    << "</div>";
  Foot(h);
  return h.Take();
}

std::string PageRenderer::SubCategoryPage(int prefecture, int city_code) const {
  const SiteData& data = model_.data();
  const std::string area = AreaCode(prefecture, city_code);
  int city_index = data.FindCity(prefecture, city_code);
  std::string place(SiteData::PrefectureName(prefecture));
  if (city_index >= 0) place += data.cities()[static_cast<std::size_t>(city_index)].name;
  Html h;
  Head(h, place + "の診療科目", "kamoku");
  Crumbs(h, {"<a href=\"/doko/\">地域から探す</a>", place});
  h << "<h2 class=\"ttl\">" + place + "の診療科目から探す</h2>"
    << "<div class=\"kamoku_box\">"
    << "<h3 class=\"lead\">診療科目を選択してください</h3>";
  int category = 0;
  for (const auto& sub : data.subcategories()) {
    if (sub.category != category) {
      if (category != 0) h << "</ul>";
      category = sub.category;
      h << "<h4 class=\"ctgr\">" + std::string(SiteData::CategoryName(category)) + "</h4>"
        << "<ul class=\"kamoku_list\">";
    }
    h << "\t<li><a href=\"kekka.php/" + area + std::to_string(sub.code) + "/\">" + sub.name +
             "</a></li>";
  }
  if (category != 0) h << "</ul>";
  h << "</div>";
  Foot(h);
  return h.Take();
}

std::string PageRenderer::ResultPage(int city_index, const refdata::SubCategory& sub, int page,
                                     bool list_nothing) const {
  const SiteData& data = model_.data();
  const CityInfo& city = data.cities()[static_cast<std::size_t>(city_index)];
  const std::string pref(SiteData::PrefectureName(city.prefecture));
  const std::string self =
      "/doko/kekka.php/" + AreaCode(city.prefecture, city.code) + std::to_string(sub.code) + "/";
  const Listing listing = list_nothing ? Listing{} : model_.List(city_index, sub);
  const int total = listing.total();
  const int pages = std::max(1, (total + FacilityModel::kPageSize - 1) / FacilityModel::kPageSize);

  const std::optional<NextLink> next = NextLinkOf(next_link_, self, sub.code, page, pages);
  std::string head_link;
  if (next && next->text.empty()) head_link = "<link rel=\"next\" href=\"" + next->href + "\">";

  Html h;
  h.UseCrLf();
  Head(h, city.name + "の" + sub.name + " (" + pref + ")", "kekka", head_link);
  Crumbs(h, {"<a href=\"/doko/city.php?pref_no=" + std::to_string(city.prefecture) + "\">" + pref +
                 "</a>",
             "<a href=\"/doko/kamoku.php?pref_no=" + Pad(city.prefecture, 2) +
                 "&amp;city_no=" + std::to_string(city.code) + "\">" + city.name + "</a>",
             sub.name});
  h << "<h2 class=\"ttl\">" + pref + city.name + "の" + sub.name + "</h2>"
    << "<script>"
    << "var resultsBox = document.querySelector('.results_number');"
    << "</script>"
    << "<section class=\"results_number\">"
    << "\t<span class=\"num\">" + std::to_string(total) + "</span>"
    << "\t<span class=\"unit\">件の医療機関が見つかりました</span>"
    << "</section>";
  if (total == 0) {
    h << "<p class=\"no_result\">条件に一致する医療機関は見つかりませんでした。</p>";
  } else {
    h << "<div class=\"sort_box\">"
      << "\t<p>並び替え：<a href=\"?sort=new\">新着順</a> / <a href=\"?sort=kana\">五十音順</a></p>"
      << "</div>"
      << "<div class=\"hsp_list\">";
    const int first = (page - 1) * FacilityModel::kPageSize;
    const int last = std::min(total, first + FacilityModel::kPageSize);
    for (int i = first; i < last; ++i) {
      Entry(h, Describe(model_, listing.members[static_cast<std::size_t>(i)]));
    }
    h << "</div>";
    if (pages > 1) Pager(h, self, page, pages, next);
  }
  Foot(h);
  return h.Take();
}

std::string PageRenderer::NotFoundPage() const {
  Html h;
  Head(h, "ページが見つかりません", "error");
  h << "<h2 class=\"ttl\">お探しのページは見つかりませんでした</h2>"
    << "<p>URLが間違っているか、ページが移動または削除された可能性があります。</p>";
  Foot(h);
  return h.Take();
}

std::string PageRenderer::ErrorPage(int status) const {
  Html h;
  Head(h, "エラー", "error");
  h << "<h2 class=\"ttl\">ただいまアクセスが集中しています (" + std::to_string(status) + ")</h2>"
    << "<p>しばらく時間をおいてから再度アクセスしてください。</p>";
  Foot(h);
  return h.Take();
}

}  // namespace valmeric::sitesim
