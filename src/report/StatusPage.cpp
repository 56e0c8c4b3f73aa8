#include "report/StatusPage.h"

#include <algorithm>
#include <cstdio>

#include "shell/RunFolders.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/ReplacingFile.h"
#include "report/RunSummary.h"
#include "shell/RunFolders.h"

namespace report {
namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

const char* ToneClass(TTone tone) {
  switch (tone) {
    case TTone::Good: return "ok";
    case TTone::Warning: return "attention";
    case TTone::Bad: return "echec";
    case TTone::Neutral: break;
  }
  return "neutre";
}

const char* ToneColour(TTone tone) {
  switch (tone) {
    case TTone::Good: return "#1b7f3b";
    case TTone::Warning: return "#c98a00";
    case TTone::Bad: return "#c0262d";
    case TTone::Neutral: break;
  }
  return "#6b6b6b";
}

std::string Badge(const std::string& outcome) {
  const TOutcomeLook look = LookOf(outcome);
  return "<span class=\"badge " + std::string(ToneClass(look.Tone)) + "\">" + Escaped(FrenchOutcome(outcome)) +
         "</span>";
}

std::string Duration(double seconds) {
  char text[32];
  if (seconds < 60) std::snprintf(text, sizeof text, "%.1f s", seconds);
  else std::snprintf(text, sizeof text, "%d min %02d s", static_cast<int>(seconds) / 60, static_cast<int>(seconds) % 60);
  return text;
}

// A message on one line of the page: line breaks become blanks.
std::string Message(const std::string& text) {
  std::string line = text;
  std::replace(line.begin(), line.end(), '\r', ' ');
  std::replace(line.begin(), line.end(), '\n', ' ');
  return Escaped(line);
}

std::string VehiclesSent(const THistoryEntry& e) {
  if (e.Outcome == "sent" || e.Outcome == "photos_incomplete") return std::to_string(e.Vehicles);
  if (e.Vehicles == 0) return "aucun";
  return "aucun (" + std::to_string(e.Vehicles) + " dans le flux)";
}

// Vehicles of each run of the last kChartDays days; problem runs are marked
// with a sign above their bar as well as their colour.
std::string Chart(const TPortalSummary& s, const std::vector<THistoryEntry>& history, std::int64_t nowEpoch) {
  constexpr int kWidth = 240, kHeight = 64, kTop = 14;
  const std::int64_t from = nowEpoch - std::int64_t{kChartDays} * 86400;
  std::vector<const THistoryEntry*> runs;
  std::int64_t most = 1;
  for (const THistoryEntry& e : history) {
    if (e.Portal != s.Option || e.StartEpoch < from || e.StartEpoch > nowEpoch) continue;
    runs.push_back(&e);
    most = std::max(most, e.Vehicles);
  }
  std::string label = "Véhicules par export de " + s.DisplayName + " sur " + std::to_string(kChartDays) + " jours : ";
  label += runs.empty() ? "aucun export" : std::to_string(runs.size()) + " exports";
  std::string svg = "<svg class=\"courbe\" role=\"img\" width=\"" + std::to_string(kWidth) + "\" height=\"" +
                    std::to_string(kHeight + 12) + "\" viewBox=\"0 0 " + std::to_string(kWidth) + " " +
                    std::to_string(kHeight + 12) + "\" aria-label=\"" + Escaped(label) + "\"><title>" +
                    Escaped(label) + "</title>";
  svg += "<line x1=\"0\" y1=\"" + std::to_string(kHeight) + "\" x2=\"" + std::to_string(kWidth) + "\" y2=\"" +
         std::to_string(kHeight) + "\" stroke=\"#999\"/>";
  svg += "<text x=\"0\" y=\"" + std::to_string(kHeight + 11) + "\" class=\"axe\">-" + std::to_string(kChartDays) +
         " j</text><text x=\"" + std::to_string(kWidth) + "\" y=\"" + std::to_string(kHeight + 11) +
         "\" class=\"axe\" text-anchor=\"end\">aujourd'hui</text>";
  for (const THistoryEntry* e : runs) {
    const double x = static_cast<double>(e->StartEpoch - from) * (kWidth - 4) / (kChartDays * 86400.0);
    const int h = std::max(2, static_cast<int>(e->Vehicles * (kHeight - kTop) / most));
    const TOutcomeLook look = LookOf(e->Outcome);
    char bar[256];
    std::snprintf(bar, sizeof bar, "<rect x=\"%.1f\" y=\"%d\" width=\"4\" height=\"%d\" fill=\"%s\">", x,
                  kHeight - h, h, ToneColour(look.Tone));
    svg += bar;
    svg += "<title>" + Escaped(LocalDateTimeText(e->Start) + " : " + FrenchOutcome(e->Outcome) + ", " +
                               std::to_string(e->Vehicles) + " véhicules") + "</title></rect>";
    if (IsProblem(e->Outcome) && e->Outcome != "nothing_to_send") {
      char mark[160];
      std::snprintf(mark, sizeof mark, "<text x=\"%.1f\" y=\"%d\" class=\"marque\" text-anchor=\"middle\">%s</text>",
                    x + 2, kHeight - h - 2, look.Tone == TTone::Bad ? "✕" : "!");
      svg += mark;
    }
  }
  return svg + "</svg>";
}

constexpr const char* kStyle = R"(
body{font-family:"DejaVu Sans",Verdana,Arial,sans-serif;margin:1.5em;color:#222;background:#fafafa}
h1{font-size:1.4em;margin:0 0 .2em}
h2{font-size:1.1em;margin:1.6em 0 .5em}
p.date{color:#555;margin:0 0 1em}
table{border-collapse:collapse;background:#fff}
th,td{border:1px solid #ccc;padding:.35em .6em;text-align:left;vertical-align:top;font-size:.92em}
th{background:#eee}
td.nombre{text-align:right;white-space:nowrap}
td.message{max-width:32em;word-break:break-word}
.badge{display:inline-block;padding:.1em .55em;border-radius:.8em;font-weight:bold;white-space:nowrap;color:#fff}
.badge.ok{background:#1b7f3b}
.badge.attention{background:#c98a00;color:#111}
.badge.echec{background:#c0262d}
.badge.neutre{background:#6b6b6b}
.aucun{color:#777;font-style:italic}
svg.courbe{display:block;background:#fff}
svg .axe{font-size:9px;fill:#666}
svg .marque{font-size:11px;font-weight:bold;fill:#222}
ul.legende{list-style:none;padding:0;margin:.4em 0;font-size:.9em}
ul.legende li{display:inline-block;margin-right:1.2em}
)";

}  // namespace

std::string StatusPagePath() { return shell::WorkFolder() + "\\etat.html"; }

std::string RenderStatusPage(const std::vector<THistoryEntry>& history, const shell::TPortalTable& portals,
                             std::int64_t nowEpoch, const platform::TDateTime& now) {
  const std::vector<TPortalSummary> summaries = SummarizePortals(history, portals);
  std::string html = "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n"
                     "<title>Annoncia : état des exports</title>\n<style>";
  html += kStyle;
  html += "</style>\n</head>\n<body>\n<h1>Annoncia : état des exports</h1>\n";
  html += "<p class=\"date\">Page mise à jour le " + platform::FormatDateTime("dd/mm/yyyy à hh:nn:ss", now) + "</p>\n";

  html += "<h2>Par portail</h2>\n<table id=\"portails\">\n<thead><tr><th scope=\"col\">Portail</th>"
          "<th scope=\"col\">Dernier export</th><th scope=\"col\">Résultat</th><th scope=\"col\">Véhicules envoyés</th>"
          "<th scope=\"col\">Photos envoyées / manquantes</th><th scope=\"col\">Dernier problème</th>"
          "<th scope=\"col\">Véhicules sur " + std::to_string(kChartDays) + " jours</th></tr></thead>\n<tbody>\n";
  for (const TPortalSummary& s : summaries) {
    html += "<tr data-portail=\"" + Escaped(s.Option) + "\"><th scope=\"row\">" + Escaped(s.DisplayName) + "</th>";
    if (!s.LastRun) {
      html += "<td colspan=\"5\" class=\"aucun\">Aucun export enregistré</td>";
    } else {
      const THistoryEntry& e = *s.LastRun;
      html += "<td>" + Escaped(LocalDateTimeText(e.Start)) + "</td><td>" + Badge(e.Outcome) + "</td>";
      html += "<td class=\"nombre\">" + Escaped(VehiclesSent(e)) + "</td>";
      html += "<td class=\"nombre\">" + std::to_string(e.PhotosSent) + " / " + std::to_string(e.PhotosMissing) + "</td>";
      html += "<td class=\"message\">";
      if (s.LastProblem) {
        html += Escaped(LocalDateTimeText(s.LastProblem->Start)) + " " + Badge(s.LastProblem->Outcome) + " " +
                Message(ProblemMessage(*s.LastProblem));
      } else {
        html += "<span class=\"aucun\">aucun</span>";
      }
      html += "</td>";
    }
    html += "<td>" + Chart(s, history, nowEpoch) + "</td></tr>\n";
  }
  html += "</tbody>\n</table>\n";
  html += "<ul class=\"legende\"><li>" + Badge("sent") + " flux reçu par le portail</li><li>" + Badge("held_back") +
          " ou " + Badge("photos_incomplete") + " à surveiller (! sur la courbe)</li><li>" + Badge("not_sent") +
          " ou " + Badge("error") + " le portail n'a rien reçu (✕ sur la courbe)</li></ul>\n";

  html += "<h2>Derniers exports</h2>\n<table id=\"derniers\">\n<thead><tr><th scope=\"col\">Début</th>"
          "<th scope=\"col\">Portail</th><th scope=\"col\">Résultat</th><th scope=\"col\">Durée</th>"
          "<th scope=\"col\">Véhicules</th><th scope=\"col\">Photos envoyées</th><th scope=\"col\">Photos manquantes</th>"
          "<th scope=\"col\">Photos non envoyées</th><th scope=\"col\">Dernière ligne</th></tr></thead>\n<tbody>\n";
  std::size_t shown = 0;
  for (auto it = history.rbegin(); it != history.rend() && shown < kRecentRuns; ++it, ++shown) {
    const THistoryEntry& e = *it;
    std::string name = e.Portal;
    if (const shell::TPortal* p = portals.Find(e.Portal)) name = p->DisplayName;
    html += "<tr><td>" + Escaped(LocalDateTimeText(e.Start)) + "</td><td>" + Escaped(name) + "</td><td>" +
            Badge(e.Outcome) + "</td><td class=\"nombre\">" + Duration(e.DurationSeconds) + "</td><td class=\"nombre\">" +
            std::to_string(e.Vehicles) + "</td><td class=\"nombre\">" + std::to_string(e.PhotosSent) +
            "</td><td class=\"nombre\">" + std::to_string(e.PhotosMissing) + "</td><td class=\"nombre\">" +
            std::to_string(e.PhotosNotSent) + "</td><td class=\"message\">" +
            Message(IsProblem(e.Outcome) ? ProblemMessage(e) : e.LastLine) + "</td></tr>\n";
  }
  if (shown == 0) html += "<tr><td colspan=\"9\" class=\"aucun\">Aucun export enregistré</td></tr>\n";
  html += "</tbody>\n</table>\n</body>\n</html>\n";
  return html;
}

void WriteStatusPage(const std::string& path, const std::string& html) { platform::WriteFileReplacing(path, html); }

}  // namespace report
