// The status page: etat.html in the work folder, rewritten from the history
// after every run. One self-contained French page (inline CSS and SVG, no
// script, nothing fetched) that a dealer opens in any browser: a row per
// portal with its last run, a chart per portal of the vehicles sent by each
// run of the last 30 days, and the last 20 runs. Every colour has its word
// beside it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "report/History.h"
#include "shell/PortalTable.h"

namespace report {

inline constexpr int kChartDays = 30;
inline constexpr std::size_t kRecentRuns = 20;

// Windir + "\TEMP\Annoncia\etat.html".
std::string StatusPagePath();

// nowEpoch: seconds since 1970 UTC (the chart's right end); now: the same
// moment in local time, printed as the page's date.
std::string RenderStatusPage(const std::vector<THistoryEntry>& history, const shell::TPortalTable& portals,
                             std::int64_t nowEpoch, const platform::TDateTime& now);

// Writes the page under a temporary name in its folder and renames it.
void WriteStatusPage(const std::string& path, const std::string& html);

}  // namespace report
