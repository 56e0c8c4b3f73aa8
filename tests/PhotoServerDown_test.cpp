// Whole runs with a photo server that fails: the feed still goes to the
// portal, the photo server is tried once, and the run ends with status 4.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "support/PortalRun.h"

using testsupport::ReadFile;
using testsupport::TPortalRun;
namespace ftpfault = testsupport::ftpfault;

namespace {

const std::string kExport =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n<document>"
    "<DataVOS EOF=\"False\" BOF=\"False\" RecordName=\"DataVO\">"
    "<DataVO><idNVO>1</idNVO><SousRubrique>Renault</SousRubrique><ModeleVersion>RENAULT Clio</ModeleVersion>"
    "<NomPhoto1></NomPhoto1><NomPhoto2></NomPhoto2><NomPhoto3></NomPhoto3><NomPhoto4></NomPhoto4>"
    "<NomPhoto5></NomPhoto5><NomPhoto6></NomPhoto6></DataVO>"
    "</DataVOS><LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">"
    "<LiensImages><idNVO>1</idNVO><NomImage>1_1</NomImage></LiensImages>"
    "<LiensImages><idNVO>1</idNVO><NomImage>1_2</NomImage></LiensImages>"
    "</LiensImagesS><LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\"></LiensEquipementsS>"
    "<Aliases></Aliases></document>\r\n";

std::vector<std::string> LogMessages(const std::string& log) {
  std::vector<std::string> messages;
  for (std::size_t start = 0; start < log.size();) {
    const std::size_t end = log.find("\r\n", start);
    messages.push_back(log.substr(start, end - start).substr(22));  // after "dd/mm/yyyy hh:nn:ss - "
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return messages;
}

}  // namespace

TEST(PhotoServerDown, TheFeedIsSentAndTheRunEndsWithStatus4) {
  struct Case {
    const char* Fault;
    std::string Reason;
  };
  for (const auto& c : {Case{ftpfault::RefuseLogin, "Login denied (530 Authentication failed.)"},
                        Case{ftpfault::RefuseConnect, ""}, Case{ftpfault::Nlst421, ""}}) {
    SCOPED_TRACE(c.Fault);
    TPortalRun r("PARUVENDU", ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH},
                 {.User = "portail@ftp.example", .Password = "Portail42", .Folder = "in"},
                 {.User = "photos@ftp.example", .Password = "Photos42", .Folder = "www/clicheo", .Faults = {c.Fault}});
    r.WriteIni();
    r.WriteExport("ParuVendu", kExport);
    r.WritePhoto("1_1");
    r.WritePhoto("1_2");
    const auto start = std::chrono::steady_clock::now();
    const auto res = r.Run();
    // These faults answer at once: the run needs no time limit to end.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(res.ExitStatus, 4) << res.Out << res.Err;
    EXPECT_EQ(res.Err, "");

    EXPECT_LE(r.Photos.Count("USER"), 1);
    EXPECT_EQ(r.Photos.Count("STOR"), 0);
    const auto feeds = testsupport::ListFolder(r.Portal.Root());
    ASSERT_EQ(feeds.size(), 1u);
    EXPECT_EQ(ReadFile(r.Portal.Root() + "/" + feeds[0]), ReadFile(r.WorkFile(feeds[0])));

    const auto log = LogMessages(r.Inst.LogText("PARUVENDU"));
    ASSERT_EQ(log.size(), 4u) << r.Inst.LogText("PARUVENDU");
    EXPECT_EQ(log[0], "Nb Images Mises à jour : 4 photos --- ");
    EXPECT_TRUE(log[2].starts_with("Photos non envoyées : 4 (serveur photos indisponible : " + c.Reason)) << log[2];
    EXPECT_TRUE(log[2].ends_with(") ; la prochaine exécution les enverra")) << log[2];
    EXPECT_TRUE(log[3].starts_with("Transfert FTP OK : Fichier VO actualisé transmis sur site FTP : PARUVENDU - "))
        << log[3];
  }
}
