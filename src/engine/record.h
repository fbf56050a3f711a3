#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace valmeric {

// The fields of a facility, in CSV column order.
enum RecordField : std::size_t {
  kHspCode,      // 病院ID: the last path segment of the facility's link
  kName,         // 病院名
  kPostalCode,   // 郵便番号
  kAddress,      // 住所
  kTelephone,    // 電話番号
  kStation,      // 最寄駅
  kDepartments,  // 診療科目
  kDetailUrl,    // 詳細ページURL
  kRecordFields,
};

// One facility: its fields as Shift_JIS text, indexed by RecordField.
using Record = std::array<std::string, kRecordFields>;

}  // namespace valmeric
