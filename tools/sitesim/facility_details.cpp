#include "facility_details.h"

#include <array>
#include <string_view>

#include "hash.h"

namespace valmeric::sitesim {
namespace {

using namespace std::string_view_literals;

constexpr std::array kSurnames = {
    "佐藤"sv,   "鈴木"sv, "高橋"sv, "田中"sv, "伊藤"sv,   "渡辺"sv, "山本"sv, "中村"sv,
    "小林"sv,   "加藤"sv, "吉田"sv, "山田"sv, "佐々木"sv, "山口"sv, "松本"sv, "井上"sv,
    "木村"sv,   "林"sv,   "斎藤"sv, "清水"sv, "山崎"sv,   "森"sv,   "池田"sv, "橋本"sv,
    "阿部"sv,   "石川"sv, "山下"sv, "中島"sv, "石井"sv,   "小川"sv, "前田"sv, "岡田"sv,
    "長谷川"sv, "藤田"sv, "後藤"sv, "近藤"sv, "村上"sv,   "遠藤"sv, "青木"sv, "坂本"sv};

constexpr std::array kSoftNames = {"ひまわり"sv, "さくら"sv,   "あおば"sv, "みどり"sv,
                                   "ひかり"sv,   "すずらん"sv, "もみじ"sv, "つばさ"sv,
                                   "わかば"sv,   "こすもす"sv, "なごみ"sv, "はなみずき"sv};

constexpr std::array kFeatures = {"駐車場あり"sv,         "土曜診療"sv, "日曜診療"sv,
                                  "夜間診療"sv,           "予約優先"sv, "バリアフリー"sv,
                                  "クレジットカード可"sv, "往診対応"sv};

constexpr std::array kTownStations = {"本町"sv,   "栄町"sv,     "旭町"sv, "大手町"sv,
                                      "公園前"sv, "市役所前"sv, "中町"sv, "緑ヶ丘"sv};

constexpr std::array kDirections = {"東"sv, "西"sv, "南"sv, "北"sv, "新"sv};

// Name patterns per category; {S} surname, {P} place, {K} soft name.
constexpr std::array<std::array<std::string_view, 4>, SiteData::kCategories> kPatterns = {{
    {"{S}内科クリニック"sv, "{S}医院"sv, "{P}駅前クリニック"sv, "医療法人社団{K}会 {S}内科"sv},
    {"{S}整形外科"sv, "{P}整形外科クリニック"sv, "{S}外科医院"sv, "{K}形成外科"sv},
    {"{S}小児科"sv, "{K}こどもクリニック"sv, "{P}キッズクリニック"sv, "{S}小児科医院"sv},
    {"{S}メンタルクリニック"sv, "{K}こころのクリニック"sv, "{P}心療内科"sv, "{S}神経科"sv},
    {"{S}レディースクリニック"sv, "{S}産婦人科"sv, "{K}ウィメンズクリニック"sv, "{P}産院"sv},
    {"{S}皮膚科"sv, "{P}スキンクリニック"sv, "{K}皮フ科"sv, "{S}皮膚科医院"sv},
    {"{S}泌尿器科"sv, "{P}肛門科クリニック"sv, "{S}ウロクリニック"sv, "{K}泌尿器科"sv},
    {"{S}眼科"sv, "{S}耳鼻咽喉科"sv, "{P}アイクリニック"sv, "{K}耳鼻科"sv},
    {"{S}歯科医院"sv, "{P}デンタルクリニック"sv, "{K}歯科"sv, "{S}歯科クリニック"sv},
    {"{S}動物病院"sv, "{P}アニマルクリニック"sv, "{K}ペットクリニック"sv, "{S}犬猫病院"sv},
}};

constexpr std::array kHospitalPatterns = {"{P}中央病院"sv, "{P}総合病院"sv, "{S}記念病院"sv,
                                          "医療法人{S}会 {P}病院"sv, "{P}第一病院"sv};

std::string Fill(std::string_view pattern, std::string_view surname, std::string_view place,
                 std::string_view soft) {
  std::string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}') {
      char key = pattern[i + 1];
      out += key == 'S' ? surname : key == 'P' ? place : soft;
      i += 2;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

// The city name without its 市/区/町/村 suffix (all three bytes long in UTF-8).
std::string Stem(const std::string& city) {
  static constexpr std::array kSuffixes = {"市"sv, "区"sv, "町"sv, "村"sv};
  for (auto suffix : kSuffixes) {
    if (city.size() > suffix.size() && city.ends_with(suffix)) {
      return city.substr(0, city.size() - suffix.size());
    }
  }
  return city;
}

std::string Digits(Rng& rng, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += static_cast<char>('0' + rng.Below(10));
  return s;
}

std::string FullWidth(const std::string& ascii) {
  static constexpr std::array kDigits = {"０"sv, "１"sv, "２"sv, "３"sv, "４"sv,
                                         "５"sv, "６"sv, "７"sv, "８"sv, "９"sv};
  std::string out;
  for (char c : ascii) {
    if (c >= '0' && c <= '9') {
      out += kDigits[static_cast<std::size_t>(c - '0')];
    } else {
      out += c;
    }
  }
  return out;
}

std::string Telephone(Rng& rng, const CityInfo& city) {
  // Built by appending: the shapes are area code, exchange, line number.
  auto join = [&rng](std::string area, int exchange_digits) {
    area += '-';
    area += static_cast<char>('1' + rng.Below(9));  // exchanges never start with 0
    area += Digits(rng, exchange_digits - 1);
    area += '-';
    area += Digits(rng, 4);
    return area;
  };
  if (city.prefecture == 13 && city.code < 200) return join("03", 4);
  if (city.prefecture == 27 && city.code < 140) return join("06", 4);
  std::string area(1, '0');
  area += std::to_string(rng.Between(1, 9));
  if (rng.Below(10) < 6) return join(area + Digits(rng, 1), 3);
  return join(area + Digits(rng, 2), 2);
}

std::string Block(Rng& rng, const std::string& place, std::string_view surname) {
  std::string block;
  switch (rng.Below(6)) {
    case 0:
    case 1:
      block = std::to_string(rng.Between(1, 12)) + "-" + std::to_string(rng.Between(1, 30)) + "-" +
              std::to_string(rng.Between(1, 20));
      break;
    case 2:
      block = std::to_string(rng.Between(1, 9)) + "丁目" + std::to_string(rng.Between(1, 30)) +
              "-" + std::to_string(rng.Between(1, 20));
      break;
    case 3:
      block = FullWidth(std::to_string(rng.Between(1, 9))) + "丁目" +
              FullWidth(std::to_string(rng.Between(1, 30))) + "番" +
              FullWidth(std::to_string(rng.Between(1, 20))) + "号";
      break;
    case 4:
      block = std::to_string(rng.Between(1, 3000)) + "番地";
      break;
    default:
      block = std::to_string(rng.Between(1, 999)) + "-" + std::to_string(rng.Between(1, 50));
      break;
  }
  if (rng.Chance(0.25)) {
    static constexpr std::array kBuildings = {"メディカルビル"sv, "ビル"sv, "プラザ"sv,
                                              "メディカルモール"sv};
    std::string building = rng.Chance(0.5) ? place : std::string(surname);
    building += rng.Pick(kBuildings);
    std::string floor = std::to_string(rng.Between(1, 8));
    block += " " + building + (rng.Chance(0.5) ? floor + "F" : floor + "階");
  }
  return block;
}

// A postal code and an address in city.
void Locate(Rng& rng, const CityInfo& city, const std::string& place, std::string_view surname,
            FacilityDetails& d) {
  const PostalPlace& postal =
      city.places[static_cast<std::size_t>(rng.Below(static_cast<int>(city.places.size())))];
  d.postal_code = "〒" + postal.postal_code.substr(0, 3) + "-" + postal.postal_code.substr(3);
  d.address = std::string(SiteData::PrefectureName(city.prefecture)) + postal.locality +
              Block(rng, place, surname);
}

// A station near place and the way from it: "札幌駅 徒歩5分".
std::string Station(Rng& rng, const std::string& place) {
  std::string station;
  switch (rng.Below(4)) {
    case 0:
      station = place + "駅";
      break;
    case 1:
      station = place + (place.ends_with("中央") ? "本町駅" : "中央駅");
      break;
    case 2:
      station = std::string(rng.Pick(kDirections)) + place + "駅";
      break;
    default:
      station = std::string(rng.Pick(kTownStations)) + "駅";
      break;
  }
  int means = rng.Below(10);
  std::string way = means < 7   ? "徒歩" + std::to_string(rng.Between(1, 25)) + "分"
                    : means < 9 ? "バス" + std::to_string(rng.Between(5, 30)) + "分"
                                : "車" + std::to_string(rng.Between(5, 20)) + "分";
  return station + " " + way;
}

std::string DepartmentName(const std::string& sub_name) {
  constexpr std::string_view general = "一般";
  if (sub_name.starts_with(general) && sub_name.size() > general.size()) {
    return sub_name.substr(general.size());
  }
  return sub_name;
}

std::string EscapeHtml(const std::string& text, bool quote_as_reference) {
  std::string out;
  for (char c : text) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '"' && quote_as_reference) {
      out += "&quot;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else {
      out += c;
    }
  }
  return out;
}

// Redraws the fields a changed facility shows differently, each from a
// stream of its own so the rest of the entry stays as it was.
void ApplyChanges(const FacilityModel& model, const FacilityId& id, const CityInfo& city,
                  const std::string& place, FacilityDetails& d) {
  const unsigned fields = model.ChangedFields(id);
  Rng rng(Hash({model.seed(), Tag("changed-details"), id.Key()}));
  constexpr int kTries = 16;  // a redraw equal to the old value is drawn again
  if ((fields & kChangedName) != 0) {
    const std::string old = d.name;
    for (int i = 0; i < kTries && d.name == old; ++i) {
      const std::string_view pattern =
          model.IsHospital(id) ? rng.Pick(kHospitalPatterns)
                               : rng.Pick(kPatterns[static_cast<std::size_t>(id.category - 1)]);
      d.name = Fill(pattern, rng.Pick(kSurnames), place, rng.Pick(kSoftNames));
    }
    if (d.name == old) d.name = "医療法人 " + old;
    d.name_html = EscapeHtml(d.name, false);
  }
  if ((fields & kChangedAddress) != 0) {
    const std::string old = d.address;
    for (int i = 0; i < kTries && d.address == old; ++i) Locate(rng, city, place, "新", d);
    if (d.address == old) d.address += " 別館";
  }
  if ((fields & kChangedTelephone) != 0) {
    const std::string old = d.telephone;
    for (int i = 0; i < kTries && d.telephone == old; ++i) d.telephone = Telephone(rng, city);
  }
  if ((fields & kChangedStation) != 0) {
    const std::string old = d.station;
    for (int i = 0; i < kTries && d.station == old; ++i) d.station = Station(rng, place);
    if (d.station_gap.empty()) d.station_gap = " ";
    d.access_note.clear();
  }
}

}  // namespace

FacilityDetails Describe(const FacilityModel& model, const FacilityId& id) {
  const SiteData& data = model.data();
  const CityInfo& city = data.cities()[static_cast<std::size_t>(id.city_index)];
  Rng rng(Hash({model.seed(), Tag("details"), id.Key()}));
  FacilityDetails d;

  d.code = model.Code(id);
  d.link_path = (id.category == 9    ? "dental/"
                 : id.category == 10 ? "animal/"
                                     : "hospital/") +
                d.code + "/";

  // Name.
  const std::string place = Stem(city.name);
  const std::string_view surname = rng.Pick(kSurnames);
  const std::string_view soft = rng.Pick(kSoftNames);
  std::string_view pattern = model.IsHospital(id)
                                 ? rng.Pick(kHospitalPatterns)
                                 : rng.Pick(kPatterns[static_cast<std::size_t>(id.category - 1)]);
  d.name = Fill(pattern, surname, place, soft);
  bool quote_as_reference = false;
  switch (rng.Below(40)) {  // a few names carry characters that need care
    case 0:
      d.name = "Kids&Family " + d.name;
      break;
    case 1:
      d.name += "&デイケア";
      break;
    case 2:
      d.name = std::string(surname) + "クリニック\"" + std::string(soft) + "\"";
      break;
    case 3:
      d.name = std::string(surname) + "クリニック\"" + std::string(soft) + "\"";
      quote_as_reference = true;
      break;
    case 4:
      d.name = "Mom's " + d.name;
      break;
    case 5:
      d.name = std::string(surname) + "ﾒﾃﾞｨｶﾙｸﾘﾆｯｸ";
      break;
    case 6:
      d.name = "ＡＢＣ" + d.name;
      break;
    case 7:
      d.name = "Smile " + d.name + " Plus";
      break;
    default:
      break;
  }
  d.name_html = EscapeHtml(d.name, quote_as_reference);

  // Address.
  Locate(rng, city, place, surname, d);
  int gap = rng.Below(20);
  d.address_gap = gap < 17 ? " " : gap < 19 ? "&nbsp;" : "　";

  d.telephone = rng.Chance(0.97) ? Telephone(rng, city) : std::string();

  // Nearest station, or a bus note for places off the railway.
  if (rng.Chance(0.94)) {
    d.station = Station(rng, place);
    int g = rng.Below(10);
    d.station_gap = g < 8 ? " " : g < 9 ? "　" : "&nbsp;";
  } else {
    d.access_note = place + "バス停より徒歩" + std::to_string(rng.Between(1, 15)) + "分";
  }

  if (model.FateOf(id) == Fate::kChanged) ApplyChanges(model, id, city, place, d);

  for (const auto* sub : model.SubCategoriesOf(id)) {
    if (!d.departments.empty()) d.departments += "、";
    d.departments += DepartmentName(sub->name);
  }

  int features = rng.Below(4);
  for (int i = 0; i < features; ++i) {
    std::string f(rng.Pick(kFeatures));
    bool seen = false;
    for (const auto& have : d.features) seen = seen || have == f;
    if (!seen) d.features.push_back(std::move(f));
  }
  return d;
}

}  // namespace valmeric::sitesim
