// Local date and time and the few formats the program writes.
#pragma once

#include <string>
#include <string_view>

namespace platform {

struct TDateTime {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
  int UtcOffsetMinutes = 0;  // local time minus UTC at that moment
};

TDateTime Now();

// Formats with the tokens yyyy, mm (month), dd, hh, nn (minutes), ss; every
// other character stands for itself. "dd/mm/yyyy hh:nn:ss" is the French
// short date and long time the activity log writes.
std::string FormatDateTime(std::string_view pattern, const TDateTime& t);

// "2026-06-19T14:05:09+02:00": the moment with its offset from UTC.
std::string FormatIso8601(const TDateTime& t);

inline constexpr std::string_view kLogDateTimeFormat = "dd/mm/yyyy hh:nn:ss";

}  // namespace platform
