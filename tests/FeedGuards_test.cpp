// Whole runs of the feed guards: an export of the wrong shape sends nothing,
// a stock that fell below the threshold is held back (exit status 3) until
// the operator sends it anyway, and the portal keeps the last complete feed.
#include <gtest/gtest.h>

#include "support/PortalRun.h"

using testsupport::ReadFile;
using testsupport::TPortalRun;

namespace {

std::string Export(int vehicles) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n<document><DataVOS>";
  for (int k = 1; k <= vehicles; ++k) {
    xml += "<DataVO><idNVO>" + std::to_string(k) + "</idNVO><SousRubrique>Renault</SousRubrique>"
           "<ModeleVersion>Clio</ModeleVersion></DataVO>";
  }
  return xml + "</DataVOS><LiensImagesS></LiensImagesS></document>\n";
}

void WriteIni(const TPortalRun& r, const std::string& extra = "") {
  r.Inst.WriteIni("[" + r.Option + "]\r\nServeurFTP=" + r.Portal.Address() +
                  "\r\nUser=portail@ftp.example\r\nPassWord=Portail42\r\nPathFTP=in\r\nTestFTPClicheo=0\r\n" + extra);
}

// The one file the portal server holds.
std::string SentFeed(const TPortalRun& r) {
  const auto names = testsupport::ListFolder(r.Portal.Root());
  EXPECT_EQ(names.size(), 1u);
  return names.empty() ? "" : ReadFile(r.Portal.Root() + "/" + names[0]);
}

}  // namespace

TEST(FeedGuards, AnExportOfTheWrongShapeSendsNothing) {
  for (const char* option : {"PARUVENDU", "SITAUTOPRO"}) {
    SCOPED_TRACE(option);
    TPortalRun r(option, ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
    WriteIni(r);
    r.WriteExport(option == std::string("PARUVENDU") ? "ParuVendu" : "SitAutoPro",
                  "<racine><DataVOS><DataVO><idNVO>1</idNVO></DataVO></DataVOS></racine>");
    const auto result = r.Run();
    EXPECT_EQ(result.ExitStatus, 1) << result.Out << result.Err;
    EXPECT_NE(result.Err.find("élément racine <racine> trouvé, <document> attendu"), std::string::npos) << result.Err;
    EXPECT_EQ(r.Portal.Count("STOR"), 0);
  }
}

TEST(FeedGuards, AFallenStockIsHeldBackUntilSentAnyway) {
  TPortalRun r("PARUVENDU", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH});
  WriteIni(r);
  r.WriteExport("ParuVendu", Export(10));
  ASSERT_EQ(r.Run().ExitStatus, 0);
  const std::string tenVehicles = SentFeed(r);

  r.WriteExport("ParuVendu", Export(4));  // 60 % fewer
  const auto held = r.Run();
  EXPECT_EQ(held.ExitStatus, 3) << held.Out << held.Err;
  EXPECT_NE(held.Out.find("Flux retenu, non transmis : 4 VO contre 10 au dernier envoi"), std::string::npos)
      << held.Out;
  EXPECT_EQ(SentFeed(r), tenVehicles);
  EXPECT_EQ(r.Portal.Count("STOR"), 1);

  const auto forced = r.Run({{"ANNONCIA_FORCER", "1"}});
  EXPECT_EQ(forced.ExitStatus, 0) << forced.Out << forced.Err;
  EXPECT_NE(SentFeed(r), tenVehicles);

  r.WriteExport("ParuVendu", Export(3));  // 25 % fewer than the 4 sent last
  EXPECT_EQ(r.Run().ExitStatus, 0);
  EXPECT_EQ(r.Portal.Count("STOR"), 3);
}
