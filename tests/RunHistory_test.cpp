// The run history, the status page and the alerts of whole console runs:
// the history read back with Python's json, the page rendered by Debian's
// headless Chromium, alerts received by a real SMTP server (aiosmtpd).
#include <gtest/gtest.h>

#include <thread>

#include "platform/FileLock.h"
#include "support/PortalRun.h"
#include "support/SmtpServer.h"

using testsupport::ReadFile;
using testsupport::TInstallation;
using testsupport::TPortalRun;
using testsupport::TSmtpServer;

namespace {

// One vehicle with a photo on disk and one missing from the photo folder.
const std::string kExport =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n<document><DataVOS>"
    "<DataVO><idNVO>101</idNVO><SousRubrique>Renault</SousRubrique><ModeleVersion>Clio</ModeleVersion>"
    "<NomPhoto1></NomPhoto1></DataVO></DataVOS><LiensImagesS>"
    "<LiensImages><idNVO>101</idNVO><NomImage>101_1</NomImage></LiensImages>"
    "<LiensImages><idNVO>101</idNVO><NomImage>lost_1</NomImage></LiensImages>"
    "</LiensImagesS><LiensEquipementsS></LiensEquipementsS><Aliases></Aliases></document>\r\n";

// Every history line, checked and summed up by Python's json: the types of
// the fields, then "portal outcome exit vehicles links sent missing notsent
// feed_file feed_size>0 archive error?" per line.
constexpr const char* kReadHistory = R"(
import json, re, sys
iso = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$")
for text in open(sys.argv[1], encoding="utf-8"):
    h = json.loads(text)
    assert iso.match(h["start"]) and iso.match(h["end"]), h
    assert isinstance(h["duration_s"], (int, float)) and h["duration_s"] >= 0, h
    assert h["version"], h
    print(h["portal"], h["outcome"], h["exit_status"], h["vehicles"], h["photo_links"], h["photos_sent"],
          h["photos_missing"], h["photos_not_sent"], h["feed_file"], (h["feed_size"] or 0) > 0, h["archive_size"],
          "error" if h["error"] else "-")
)";

std::string History(const TInstallation& inst) {
  const auto r = testsupport::RunPython(kReadHistory, {inst.WorkDir() + "/historique.jsonl"});
  EXPECT_EQ(r.ExitStatus, 0) << r.Err;
  return r.Out;
}

std::string Alerts(const std::string& smtp, const std::string& when = "echec") {
  return "[Alertes]\r\nServeurSMTP=" + smtp + "\r\nDe=annoncia@garage.example\r\nA=patron@garage.example ; "
         "it@garage.example\r\nQuand=" + when + "\r\nDelai=5\r\n";
}

// Each received message as "to,to|subject|body" (subject and body decoded).
std::string Received(const TSmtpServer& server) {
  const auto r = testsupport::RunPython(R"(
import email, email.policy, json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    m = json.loads(line)
    msg = email.message_from_string(m["data"], policy=email.policy.default)
    print(",".join(m["rcpt_tos"]) + "|" + msg["subject"] + "|" + msg.get_content())
)", {server.MailLogPath()});
  EXPECT_EQ(r.ExitStatus, 0) << r.Err;
  return r.Out;
}

}  // namespace

TEST(RunHistory, EachOutcomeLeavesOneLineAndTheAlertOfAFailure) {
  struct Case {
    const char* name;
    std::vector<std::string> portalFaults, photoFaults;
    bool withExport;
    int exitStatus;
    std::string line;
  };
  const Case cases[] = {
      {"sent", {}, {}, true, 0,
       "PARUVENDU sent 0 1 2 2 2 0 RovelleDatasVO-$DAY.xml True None -\n"},
      {"not sent", {"refuse_login"}, {"refuse_login"}, true, 3,
       "PARUVENDU not_sent 3 1 2 0 2 2 RovelleDatasVO-$DAY.xml True None error\n"},
      {"error", {}, {}, false, 1, "PARUVENDU error 1 0 0 0 0 0 None False None error\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TSmtpServer smtp;
    TPortalRun r("PARUVENDU", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH},
                 {.User = "portail@ftp.example", .Password = "Portail42", .Folder = "in", .Faults = c.portalFaults},
                 {.User = "photos@ftp.example", .Password = "Photos42", .Folder = "www/clicheo", .Faults = c.photoFaults});
    r.WriteIni("", Alerts(smtp.Address()));
    if (c.withExport) r.WriteExport("ParuVendu", kExport);
    r.WritePhoto("101_1");
    const auto res = r.Run();
    EXPECT_EQ(res.ExitStatus, c.exitStatus) << res.Out << res.Err;
    std::string line = c.line;
    if (const auto at = line.find("$DAY"); at != std::string::npos) {
      const auto files = r.Inst.WorkFiles();
      ASSERT_FALSE(files.empty());
      line.replace(at, 4, files[0].substr(0, 8));
    }
    EXPECT_EQ(History(r.Inst), line);
    EXPECT_TRUE(testsupport::PathExists(r.Inst.WorkDir() + "/etat.html"));
    if (c.exitStatus == 0) {
      // Quand=echec: nothing after a run that went well.
      EXPECT_EQ(smtp.MessageCount(), 0);
      continue;
    }
    const std::string mail = Received(smtp);
    const std::string word = c.exitStatus == 1 ? "erreur" : "non envoyé";
    EXPECT_EQ(mail.rfind("patron@garage.example,it@garage.example|Annoncia ParuVendu : " + word + "|", 0), 0u) << mail;
    EXPECT_NE(mail.find(c.exitStatus == 1 ? "Erreur : TXMLCursor.Load FileName[" : "Transfert FTP : Erreur Connexion"),
              std::string::npos) << mail;
    EXPECT_NE(res.Out.find("Alerte envoyée à patron@garage.example; it@garage.example"), std::string::npos);
    // No password of the settings reaches the mail.
    for (const char* password : {"Portail42", "Photos42"}) EXPECT_EQ(mail.find(password), std::string::npos);
  }
}

TEST(RunHistory, HeldBackAndPhotosIncompleteRuns) {
  struct Case {
    const char* name;
    std::vector<std::string> photoFaults;
    std::string exportText;
    int exitStatus;
    std::string line;
    std::string subject;
  };
  // No vehicle at all: the feed guard keeps the empty stock from the portal.
  const std::string empty = "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n<document><DataVOS></DataVOS>"
                            "<LiensImagesS></LiensImagesS><LiensEquipementsS></LiensEquipementsS><Aliases></Aliases>"
                            "</document>\r\n";
  const Case cases[] = {
      {"held back", {}, empty, 3, "PARUVENDU held_back 3 0 0 0 0 0 RovelleDatasVO-$DAY.xml True None error\n",
       "Annoncia ParuVendu : retenu"},
      {"photos incomplete", {"refuse_login"}, kExport, 4,
       "PARUVENDU photos_incomplete 4 1 2 0 2 2 RovelleDatasVO-$DAY.xml True None error\n",
       "Annoncia ParuVendu : photos incomplètes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TSmtpServer smtp;
    TPortalRun r("PARUVENDU", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH},
                 {.User = "portail@ftp.example", .Password = "Portail42", .Folder = "in"},
                 {.User = "photos@ftp.example", .Password = "Photos42", .Folder = "www/clicheo", .Faults = c.photoFaults});
    r.WriteIni("", Alerts(smtp.Address()));
    r.WriteExport("ParuVendu", c.exportText);
    r.WritePhoto("101_1");
    const auto res = r.Run();
    EXPECT_EQ(res.ExitStatus, c.exitStatus) << res.Out << res.Err;
    std::string line = c.line;
    for (const auto& name : r.Inst.WorkFiles()) {
      if (name.starts_with("Rovelle")) line.replace(line.find("RovelleDatasVO-$DAY.xml"), 23, name);
    }
    EXPECT_EQ(History(r.Inst), line);
    const std::string mail = Received(smtp);
    EXPECT_NE(mail.find("|" + c.subject + "|"), std::string::npos) << mail;
    EXPECT_NE(mail.find("Motif : "), std::string::npos) << mail;
  }
}

TEST(RunHistory, ARunRefusedForTheLockIsRecordedAndAlerted) {
  TSmtpServer smtp;
  TPortalRun r("PARUVENDU", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
  r.WriteIni("", Alerts(smtp.Address()));
  r.WriteExport("ParuVendu", kExport);
  std::string holder;
  const auto lock = platform::TFileLock::TryAcquire(r.Inst.WorkDir() + "/AnnonciaPARUVENDU.lock", holder);
  ASSERT_TRUE(lock);
  const auto res = r.Run();
  EXPECT_EQ(res.ExitStatus, 1) << res.Out << res.Err;
  EXPECT_EQ(History(r.Inst), "PARUVENDU refused 1 0 0 0 0 0 None False None error\n");
  EXPECT_NE(Received(smtp).find("|Annoncia ParuVendu : refusé (export déjà en cours)|"), std::string::npos);
}

TEST(RunHistory, AnAlertThatCannotGoChangesNothing) {
  const int dead = testsupport::ClosedLoopbackPort();
  for (const bool withExport : {true, false}) {
    SCOPED_TRACE(withExport);
    TPortalRun r("PARUVENDU", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
    r.WriteIni("", Alerts("127.0.0.1:" + std::to_string(dead), "toujours"));
    if (withExport) r.WriteExport("ParuVendu", kExport);
    const auto res = r.Run();
    EXPECT_EQ(res.ExitStatus, withExport ? 0 : 1) << res.Out << res.Err;
    EXPECT_NE(res.Out.find("Alerte non envoyée : "), std::string::npos) << res.Out;
    EXPECT_NE(r.Inst.LogText("PARUVENDU").find("Alerte non envoyée : "), std::string::npos);
    EXPECT_NE(History(r.Inst).find(withExport ? " sent 0 " : " error 1 "), std::string::npos);
  }
}

TEST(RunHistory, QuandToujoursSendsAfterARunThatWentWell) {
  TSmtpServer smtp;
  TPortalRun r("PARUVENDU", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
  r.WriteIni("", Alerts(smtp.Address(), "toujours"));
  r.WriteExport("ParuVendu", kExport);
  r.WritePhoto("101_1");
  ASSERT_EQ(r.Run().ExitStatus, 0);
  const std::string mail = Received(smtp);
  EXPECT_NE(mail.find("|Annoncia ParuVendu : envoyé|"), std::string::npos) << mail;
  EXPECT_NE(mail.find("Photos envoyées : 2\r"), std::string::npos) << mail;
  EXPECT_NE(mail.find("Photos manquantes dans le dossier local : 2\r"), std::string::npos) << mail;
}

TEST(RunHistory, ConcurrentRunsOfTwoPortalsNeverMixTheirLines) {
  TInstallation inst(ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
  inst.WriteIni("");
  constexpr int kRuns = 8;
  // Runs that end at once: no data export, so an error at the start.
  auto runs = [&inst](const char* portal) {
    for (int k = 0; k < kRuns; ++k) EXPECT_EQ(inst.Run({portal}).ExitStatus, 1);
  };
  std::thread a(runs, "ParuVendu");
  std::thread b(runs, "SitAutoPro");
  a.join();
  b.join();
  const std::string history = History(inst);
  int paruVendu = 0, sitAutoPro = 0;
  for (std::size_t at = 0; (at = history.find("PARUVENDU error 1", at)) != std::string::npos; ++at) ++paruVendu;
  for (std::size_t at = 0; (at = history.find("SITAUTOPRO error 1", at)) != std::string::npos; ++at) ++sitAutoPro;
  EXPECT_EQ(paruVendu, kRuns);
  EXPECT_EQ(sitAutoPro, kRuns);
  EXPECT_EQ(std::count(history.begin(), history.end(), '\n'), 2 * kRuns);
}

TEST(RunHistory, TheHistoryKeepsItsNewestTenThousandLines) {
  TInstallation inst(ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
  inst.WriteIni("");
  std::string lines;
  for (int k = 0; k < 10000; ++k) {
    lines += "{\"portal\":\"SITAUTOPRO\",\"start\":\"2026-01-01T00:00:00+00:00\",\"end\":\"2026-01-01T00:00:01+00:00\","
             "\"duration_s\":1,\"exit_status\":0,\"outcome\":\"sent\",\"last_line\":\"" + std::to_string(k) +
             "\",\"error\":null,\"vehicles\":1,\"photo_links\":0,\"photos_sent\":0,\"photos_missing\":0,"
             "\"photos_not_sent\":0,\"feed_file\":null,\"feed_size\":null,\"archive_size\":null,\"version\":\"x\"}\n";
  }
  testsupport::WriteFile(inst.WorkDir() + "/historique.jsonl", lines);
  EXPECT_EQ(inst.Run({"ParuVendu"}).ExitStatus, 1);
  const std::string text = ReadFile(inst.WorkDir() + "/historique.jsonl");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10000);
  EXPECT_EQ(text.find("\"last_line\":\"0\""), std::string::npos);  // the oldest went
  EXPECT_NE(text.find("\"last_line\":\"1\""), std::string::npos);
  const std::string history = History(inst);
  EXPECT_EQ(history.substr(history.rfind('\n', history.size() - 2) + 1, 17), "PARUVENDU error 1");
  EXPECT_EQ(testsupport::ListFolder(inst.WorkDir()),
            (std::vector<std::string>{"AnnonciaPARUVENDU.lock", "etat.html", "historique.jsonl", "historique.lock"}));
}

namespace {

// A history with every outcome but error, which a real run adds.
std::string FixtureHistory() {
  auto line = [](const char* portal, const char* outcome, int exitStatus, const char* error, int day) {
    return std::string("{\"portal\":\"") + portal + "\",\"start\":\"2026-12-0" + std::to_string(day) +
           "T02:15:00+01:00\",\"end\":\"2026-12-0" + std::to_string(day) +
           "T02:15:09+01:00\",\"duration_s\":9.2,\"exit_status\":" + std::to_string(exitStatus) + ",\"outcome\":\"" +
           outcome + "\",\"last_line\":\"-> fin\",\"error\":" + (error ? '"' + std::string(error) + '"' : "null") +
           ",\"vehicles\":42,\"photo_links\":120,\"photos_sent\":6,\"photos_missing\":1,\"photos_not_sent\":0,"
           "\"feed_file\":\"feed.xml\",\"feed_size\":1000,\"archive_size\":400,\"version\":\"1.1.0\"}\n";
  };
  return line("PARUVENDU", "not_sent", 3, "Transfert FTP : Erreur Connexion au serveur.", 5) +
         line("PARUVENDU", "sent", 0, nullptr, 6) +
         line("AUTOSCOUT24", "not_sent", 3, "Transfert FTP : Erreur lors du transfert.", 6) +
         line("SITAUTOPRO", "held_back", 3, "Flux retenu : 3 VO au lieu de 120", 6) +
         line("TOPANNONCES", "photos_incomplete", 4, "Serveur photos indisponible", 6) +
         line("LEBONCOIN", "nothing_to_send", 0, nullptr, 5) +
         line("LEBONCOIN", "refused", 1, "Export déjà en cours", 6);
}

}  // namespace

TEST(StatusPageInABrowser, EveryPortalRowShowsItsOutcomeWord) {
  TInstallation inst(ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
  inst.WriteIni("");
  testsupport::WriteFile(inst.WorkDir() + "/historique.jsonl", FixtureHistory());
  ASSERT_EQ(inst.Run({"InfoPress"}).ExitStatus, 1);  // no data export: the run ends in error

  testsupport::TTempDir profile;
  const auto page = testsupport::RunProcess(
      "/usr/bin/chromium",
      {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
       "--user-data-dir=" + profile.Path(), "--dump-dom", "file://" + inst.WorkDir() + "/etat.html"},
      {{"HOME", profile.Path()}}, 120);
  ASSERT_EQ(page.ExitStatus, 0) << page.Err;
  // The rendered rows, read with Python's HTML parser: "portal: first badge".
  testsupport::WriteFile(profile / "dom.html", page.Out);
  const auto parsed = testsupport::RunPython(R"(
import sys
from html.parser import HTMLParser
class Rows(HTMLParser):
    def __init__(self):
        super().__init__(); self.row = None; self.badge = None; self.rows = []
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "tr" and "data-portail" in a: self.row = [a["data-portail"], None]
        if tag == "span" and self.row and "badge" in (a.get("class") or "") and self.row[1] is None: self.badge = ""
    def handle_data(self, data):
        if self.badge is not None: self.badge += data
    def handle_endtag(self, tag):
        if tag == "span" and self.badge is not None: self.row[1] = self.badge; self.badge = None
        if tag == "tr" and self.row: self.rows.append(self.row); self.row = None
p = Rows(); p.feed(open(sys.argv[1], encoding="utf-8").read())
for portal, badge in p.rows: print(portal + ": " + str(badge))
)", {profile / "dom.html"});
  ASSERT_EQ(parsed.ExitStatus, 0) << parsed.Err;
  EXPECT_EQ(parsed.Out,
            "PARUVENDU: envoyé\n"
            "AUTOSCOUT24: non envoyé\n"
            "SITAUTOPRO: retenu\n"
            "TOPANNONCES: photos incomplètes\n"
            "LEBONCOIN: refusé (export déjà en cours)\n"
            "INFOPRESS: erreur\n");
  EXPECT_NE(page.Out.find("Transfert FTP : Erreur Connexion au serveur."), std::string::npos);
}

TEST(StatusSummary, EtatPrintsEveryPortalAndTouchesNoLog) {
  TInstallation inst(ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
  testsupport::WriteFile(inst.WorkDir() + "/historique.jsonl", FixtureHistory());
  const auto r = inst.Run({"--etat"});
  EXPECT_EQ(r.ExitStatus, 0) << r.Err;
  EXPECT_EQ(r.Err, "");
  for (const char* part : {"ParuVendu    06/12/2026 02:15:00      envoyé", "SitAutoPro   06/12/2026 02:15:00      retenu",
                           "InfoPress    aucun export enregistré", "Page d'état : "}) {
    EXPECT_NE(r.Out.find(part), std::string::npos) << part << "\n" << r.Out;
  }
  EXPECT_EQ(testsupport::ListFolder(inst.TempDir()), std::vector<std::string>{"Annoncia"});
}
