#include "platform/Clock.h"

#include <cstdio>

namespace platform {

std::string FormatDateTime(std::string_view pattern, const TDateTime& t) {
  std::string out;
  char buf[8];
  auto two = [&](int v) { std::snprintf(buf, sizeof buf, "%02d", v % 100); out += buf; };
  for (std::size_t i = 0; i < pattern.size();) {
    const std::string_view rest = pattern.substr(i);
    if (rest.starts_with("yyyy")) {
      std::snprintf(buf, sizeof buf, "%04d", t.Year % 10000);
      out += buf;
      i += 4;
    } else if (rest.starts_with("mm")) { two(t.Month); i += 2; }
    else if (rest.starts_with("dd")) { two(t.Day); i += 2; }
    else if (rest.starts_with("hh")) { two(t.Hour); i += 2; }
    else if (rest.starts_with("nn")) { two(t.Minute); i += 2; }
    else if (rest.starts_with("ss")) { two(t.Second); i += 2; }
    else { out += pattern[i]; ++i; }
  }
  return out;
}

std::string FormatIso8601(const TDateTime& t) {
  const int offset = t.UtcOffsetMinutes < 0 ? -t.UtcOffsetMinutes : t.UtcOffsetMinutes;
  char zone[16];
  std::snprintf(zone, sizeof zone, "%c%02d:%02d", t.UtcOffsetMinutes < 0 ? '-' : '+', offset / 60 % 100, offset % 60);
  return FormatDateTime("yyyy-mm-ddThh:nn:ss", t) + zone;
}

}  // namespace platform
