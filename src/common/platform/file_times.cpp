#include <cstdio>

#include "common/platform/native_file.h"

namespace valmeric {

std::optional<std::string> ModifiedDayOfFile(const std::string& path) {
  const std::optional<LocalTime> time = ModifiedLocalTime(path);
  if (!time) return std::nullopt;
  char day[40];
  std::snprintf(day, sizeof day, "%04d%02d%02d", time->year, time->month, time->day);
  return std::string(day);
}

std::optional<std::string> ModifiedTimeOfFile(const std::string& path) {
  const std::optional<LocalTime> time = ModifiedLocalTime(path);
  if (!time) return std::nullopt;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", time->year, time->month, time->day,
                time->hour, time->minute);
  return std::string(text);
}

}  // namespace valmeric
