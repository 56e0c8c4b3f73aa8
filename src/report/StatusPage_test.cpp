// The status page, the --etat table and the alert text on a history with
// every outcome.
#include <gtest/gtest.h>

#include <sstream>

#include "report/RunSummary.h"
#include "report/StatusPage.h"

namespace {

constexpr std::int64_t kNow = 1781500000;  // the page's "now"

shell::TPortalTable Portals() {
  shell::TPortalTable t;
  for (const auto& [option, name] : std::vector<std::pair<std::string, std::string>>{
           {"PARUVENDU", "ParuVendu"}, {"AUTOSCOUT24", "AutoScout24"}, {"SITAUTOPRO", "SitAutoPro"},
           {"TOPANNONCES", "TopAnnonces"}, {"LEBONCOIN", "LeBonCoin"}, {"INFOPRESS", "InfoPress"}}) {
    t.Register({option, name, "", "", [](shell::TRunControl&) {}});
  }
  return t;
}

report::THistoryEntry Entry(const std::string& portal, const std::string& outcome, std::int64_t daysAgo,
                          std::int64_t vehicles, const std::string& error = "") {
  report::THistoryEntry e;
  e.Portal = portal;
  e.Outcome = outcome;
  e.StartEpoch = kNow - daysAgo * 86400;
  e.Start = "2026-06-" + std::to_string(30 - daysAgo % 28) + "T02:15:00+02:00";
  e.Vehicles = vehicles;
  e.PhotosSent = 3;
  e.PhotosMissing = 1;
  e.Error = error;
  e.LastLine = "-> dernière ligne de " + portal;
  return e;
}

// Every outcome; InfoPress never ran; the oldest ParuVendu run is outside the chart.
std::vector<report::THistoryEntry> History() {
  return {
      Entry("PARUVENDU", "error", 40, 0, "très ancien"),
      Entry("PARUVENDU", "not_sent", 3, 12, "Transfert FTP : Erreur Connexion au serveur."),
      Entry("PARUVENDU", "sent", 1, 12),
      Entry("AUTOSCOUT24", "error", 2, 0, "TXMLCursor.Load <script>alert(1)</script> & co"),
      Entry("SITAUTOPRO", "held_back", 1, 3, "Flux retenu : 3 VO au lieu de 120"),
      Entry("TOPANNONCES", "photos_incomplete", 1, 30, "Serveur photos indisponible"),
      Entry("LEBONCOIN", "nothing_to_send", 1, 8),
      Entry("LEBONCOIN", "refused", 0, 0, "Export déjà en cours"),
  };
}

// The portal row of the page, from its opening tag to its end.
std::string Row(const std::string& html, const std::string& option) {
  const std::size_t start = html.find("<tr data-portail=\"" + option + "\">");
  if (start == std::string::npos) return "";
  return html.substr(start, html.find("</tr>", start) - start);
}

}  // namespace

TEST(StatusPage, EachPortalRowShowsItsLastRunWithItsWord) {
  const std::string html = report::RenderStatusPage(History(), Portals(), kNow, {2026, 6, 30, 8, 0, 0, 120});
  struct Case { const char* option; const char* badge; const char* problem; };
  const Case cases[] = {
      {"PARUVENDU", "<span class=\"badge ok\">envoyé</span>", "Transfert FTP : Erreur Connexion au serveur."},
      {"AUTOSCOUT24", "<span class=\"badge echec\">erreur</span>", "TXMLCursor.Load &lt;script&gt;alert(1)&lt;/script&gt; &amp; co"},
      {"SITAUTOPRO", "<span class=\"badge attention\">retenu</span>", "Flux retenu : 3 VO au lieu de 120"},
      {"TOPANNONCES", "<span class=\"badge attention\">photos incomplètes</span>", "Serveur photos indisponible"},
      {"LEBONCOIN", "<span class=\"badge attention\">refusé (export déjà en cours)</span>", "Export déjà en cours"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    const std::string row = Row(html, c.option);
    ASSERT_FALSE(row.empty());
    // The first badge is the last run's; the problem's message follows.
    EXPECT_EQ(row.find("<span class=\"badge"), row.find(c.badge));
    EXPECT_NE(row.find(c.problem), std::string::npos);
  }
  EXPECT_NE(Row(html, "INFOPRESS").find("Aucun export enregistré"), std::string::npos);
  EXPECT_NE(Row(html, "PARUVENDU").find(">12</td>"), std::string::npos);
  EXPECT_NE(Row(html, "SITAUTOPRO").find("aucun (3 dans le flux)"), std::string::npos);
  // Self-contained: no script, nothing fetched, data never taken for markup.
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_EQ(html.find("src="), std::string::npos);
  EXPECT_EQ(html.find("href="), std::string::npos);
  EXPECT_EQ(html.find("url("), std::string::npos);
}

TEST(StatusPage, TheChartShowsTheLastThirtyDaysAndMarksProblems) {
  const std::string html = report::RenderStatusPage(History(), Portals(), kNow, {});
  const std::string paruVendu = Row(html, "PARUVENDU");
  EXPECT_NE(paruVendu.find("sur 30 jours : 2 exports"), std::string::npos);  // the 40-day-old run is left out
  EXPECT_EQ(paruVendu.find("très ancien"), std::string::npos);
  EXPECT_NE(paruVendu.find("non envoyé, 12 véhicules"), std::string::npos);
  EXPECT_NE(paruVendu.find("✕"), std::string::npos);
  EXPECT_NE(Row(html, "SITAUTOPRO").find(">!</text>"), std::string::npos);
  EXPECT_NE(Row(html, "INFOPRESS").find("aucun export"), std::string::npos);
}

TEST(StatusPage, TheLastTwentyRunsNewestFirst) {
  std::vector<report::THistoryEntry> history;
  for (int k = 0; k < 25; ++k) history.push_back(Entry("PARUVENDU", "sent", 25 - k, 100 + k));
  const std::string html = report::RenderStatusPage(history, Portals(), kNow, {});
  const std::string recent = html.substr(html.find("<table id=\"derniers\">"));
  std::size_t rows = 0;
  for (std::size_t at = 0; (at = recent.find("<tr><td>", at)) != std::string::npos; ++at) ++rows;
  EXPECT_EQ(rows, report::kRecentRuns);
  EXPECT_LT(recent.find(">124</td>"), recent.find(">123</td>"));
  EXPECT_EQ(recent.find(">104</td>"), std::string::npos);
}

TEST(RunSummary, TheTextTableKeepsItsColumnsAligned) {
  std::ostringstream out;
  report::PrintSummaryTable(out, report::SummarizePortals(History(), Portals()));
  std::istringstream in(out.str());
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 8u);  // head, rule, six portals
  // Columns are counted in characters: "Résultat" starts at the same place on every line.
  auto column = [](const std::string& line, const std::string& text) {
    const std::size_t at = line.find(text);
    std::size_t n = 0;
    for (std::size_t i = 0; i < at; ++i) n += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
    return at == std::string::npos ? std::string::npos : n;
  };
  EXPECT_EQ(column(lines[0], "Résultat"), column(lines[2], "envoyé"));
  EXPECT_EQ(column(lines[0], "Résultat"), column(lines[3], "erreur"));
  EXPECT_EQ(column(lines[0], "Résultat"), column(lines[5], "photos incomplètes"));
  EXPECT_NE(lines[2].find("Transfert FTP : Erreur Connexion"), std::string::npos);
  EXPECT_NE(lines[7].find("InfoPress    aucun export enregistré"), std::string::npos);
}

TEST(RunSummary, TheAlertSaysWhatHappened) {
  shell::TRunRecord r;
  r.Option = "PARUVENDU";
  r.Outcome = shell::TRunOutcome::Error;
  r.ExitStatus = 1;
  r.ErrorMessage = "TXMLCursor.Load FileName[x] does not exists";
  r.Counters.VehicleCount = 7;
  r.LastLines = {"-> première", "-> dernière"};
  EXPECT_EQ(report::AlertSubject(r, "ParuVendu"), "Annoncia ParuVendu : erreur");
  const std::string body = report::AlertBody(r, "ParuVendu");
  for (const char* part : {"Export Annoncia pour ParuVendu : erreur\r\n", "Code de sortie : 1\r\n", "Véhicules : 7\r\n",
                           "Erreur : TXMLCursor.Load FileName[x] does not exists\r\n",
                           "Dernières lignes du run :\r\n-> première\r\n-> dernière\r\n"}) {
    EXPECT_NE(body.find(part), std::string::npos) << part;
  }
}
