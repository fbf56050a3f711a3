// valmeric-make-diff-pair DIR N [cp932|utf-8]: writes two collections of N
// facilities each for timing the change report. DIR/old.csv is CP932;
// DIR/new.csv (in the encoding given, CP932 by default) has a twentieth of
// the old facilities gone, another twentieth with one field changed, and as
// many new ones as went. Both keep the old order, as collections of the same
// selection do.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "common/text/text_encoding.h"
#include "engine/csv_writer.h"

namespace {

using valmeric::Record;
using valmeric::Utf8ToSjis;

template <size_t N>
std::array<std::string, N> InSjis(const std::array<std::string_view, N>& words) {
  std::array<std::string, N> out;
  for (size_t i = 0; i < N; ++i) out[i] = Utf8ToSjis(words[i]);
  return out;
}

const auto kSurnames = InSjis<8>({"佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "山本", "中村"});
const auto kKinds = InSjis<6>({"内科クリニック", "整形外科", "こどもクリニック", "歯科医院",
                               "レディースクリニック", "動物病院"});
const auto kPlaces =
    InSjis<6>({"北海道札幌市中央区北一条西", "東京都千代田区丸の内", "大阪府大阪市北区梅田",
               "愛知県名古屋市中村区名駅", "福岡県福岡市博多区博多駅前", "沖縄県那覇市久茂地"});
const auto kStations = InSjis<4>({"駅 徒歩", "中央駅 徒歩", "駅 バス", "前駅 徒歩"});
const auto kDepartments = InSjis<4>({"内科、消化器内科", "整形外科、リハビリテーション科",
                                     "小児科、アレルギー科、皮膚科", "歯科、小児歯科、矯正歯科"});
const std::string kPostalMark = Utf8ToSjis("〒");
const std::string kMinute = Utf8ToSjis("分");
const std::string kFloor = Utf8ToSjis("ビル2階");

Record Facility(long n) {
  const auto i = static_cast<size_t>(n);
  char code[24];
  std::snprintf(code, sizeof code, "%010ld", 1300000000L + n * 7);
  char digits[32];
  std::snprintf(digits, sizeof digits, "%03ld-%04ld", 100 + n % 900, n % 10000);
  std::string telephone = "0" + std::to_string(3 + n % 90) + "-" + std::to_string(100 + n % 900) +
                          "-" + std::to_string(1000 + n % 9000);
  return {code,
          kSurnames[i % kSurnames.size()] + kKinds[(i / 8) % kKinds.size()],
          kPostalMark + digits,
          kPlaces[(i / 3) % kPlaces.size()] + std::to_string(1 + n % 9) + "-" +
              std::to_string(1 + n % 30) + (n % 4 == 0 ? " " + kSurnames[i % 5] + kFloor : ""),
          n % 30 == 0 ? std::string() : telephone,
          kSurnames[(i / 5) % kSurnames.size()] + kStations[i % kStations.size()] +
              std::to_string(1 + n % 25) + kMinute,
          kDepartments[(i / 7) % kDepartments.size()],
          "https://hospital-directory.example/hospital/" + std::string(code) + "/"};
}

void Write(const std::string& path, valmeric::CsvEncoding encoding, long count, bool changed) {
  valmeric::CsvFile file;
  file.Open(path, encoding);
  file.WriteLine(valmeric::CsvHeaderLine());
  long next_new = count;
  for (long n = 0; n < count; ++n) {
    Record record = Facility(n);
    if (changed && n % 20 == 7) {  // gone, and a new facility in its place
      record = Facility(next_new++);
    } else if (changed && n % 20 == 13) {
      const size_t column = 1 + static_cast<size_t>(n / 20) % 7;
      record[column] += column == 7 ? "?v=2" : "2";
    }
    file.WriteLine(valmeric::FormatRecordLine(record));
  }
  file.Close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: valmeric-make-diff-pair DIR N [cp932|utf-8]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const long count = std::atol(argv[2]);
  const bool utf8 = argc > 3 && std::string_view(argv[3]) == "utf-8";
  try {
    Write(dir + "/old.csv", valmeric::CsvEncoding::kCp932, count, false);
    Write(dir + "/new.csv", utf8 ? valmeric::CsvEncoding::kUtf8 : valmeric::CsvEncoding::kCp932,
          count, true);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "valmeric-make-diff-pair: %s\n", error.what());
    return 1;
  }
  return 0;
}
