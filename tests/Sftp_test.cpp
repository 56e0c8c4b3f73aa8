// Whole runs of the console program on the sample data with the photo server
// and the portal reached over SFTP (real SSH file servers on loopback).
#include <gtest/gtest.h>

#include "support/Installation.h"
#include "support/SftpServer.h"

using testsupport::ListFolder;
using testsupport::ReadFile;
using testsupport::TInstallation;
using testsupport::TSftpServer;

namespace {

const std::string kPhotoPassword = "Clich3o-Sftp", kPortalPassword = "Portail-Sftp";

struct SftpRun : ::testing::Test {
  TInstallation inst{ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH}};
  TSftpServer photos{{.User = "clicheo", .Password = kPhotoPassword, .Folder = "www/clicheo"}};
  TSftpServer portal{{.User = "annonces", .Password = kPortalPassword, .Folder = "in"}};
  const std::string samplePhotos = testsupport::SourceDir() + "/examples/photos";

  // photoKey, portalKey: the lines that say how each host key is checked.
  void Install(const std::string& portalExport, const std::string& option, const std::string& photoKey,
               const std::string& portalKey) const {
    testsupport::CopyFileTo(testsupport::SourceDir() + "/examples/Windows/TEMP/Annoncia/ExpDatas" + portalExport + ".xml",
                            inst.WorkDir() + "/ExpDatas" + portalExport + ".xml");
    inst.WriteIni("[Options]\r\nPathImages=" + samplePhotos + "\r\nURLImages=http://127.0.0.1/clicheo\r\n"
                  "[Clicheo]\r\nServeurFTP=" + photos.Address() + "\r\nUser=clicheo\r\nPassWord=" + kPhotoPassword +
                  "\r\nPathFTP=www/clicheo\r\nSecurite=SFTP\r\n" + photoKey +
                  "[" + option + "]\r\nServeurFTP=" + portal.Address() + "\r\nUser=annonces\r\nPassWord=" +
                  kPortalPassword + "\r\nPathFTP=in\r\nTestFTPClicheo=1\r\nSecurite=SFTP\r\n" + portalKey);
  }
  static std::string Pinned(const TSftpServer& server) { return "EmpreinteSSH=" + server.Fingerprint() + "\r\n"; }

  // Every file on the server is the local one of the same name, byte for byte.
  static void ExpectCopiesOf(const std::string& serverFolder, const std::string& localFolder) {
    for (const auto& name : ListFolder(serverFolder)) {
      EXPECT_EQ(name.find(".part"), std::string::npos) << name;
      EXPECT_EQ(ReadFile(serverFolder + "/" + name), ReadFile(localFolder + "/" + name)) << name;
    }
  }
  void ExpectNoPassword(const testsupport::TProcessResult& res, const std::string& option) const {
    for (const std::string& password : {kPhotoPassword, kPortalPassword}) {
      EXPECT_EQ(res.Out.find(password), std::string::npos);
      EXPECT_EQ(res.Err.find(password), std::string::npos);
      EXPECT_EQ(inst.LogText(option).find(password), std::string::npos);
    }
  }
};

}  // namespace

TEST_F(SftpRun, ParuVenduSendsThePhotosAndTheFeed) {
  Install("ParuVendu", "PARUVENDU", Pinned(photos), Pinned(portal));
  const auto res = inst.Run({"ParuVendu"});
  ASSERT_EQ(res.ExitStatus, 0) << res.Out << res.Err << inst.LogText("PARUVENDU");
  const auto sent = ListFolder(photos.Root());
  EXPECT_GT(sent.size(), 10u);
  ExpectCopiesOf(photos.Root(), samplePhotos);
  const auto feeds = ListFolder(portal.Root());
  ASSERT_EQ(feeds.size(), 1u);
  ExpectCopiesOf(portal.Root(), inst.WorkDir());
  ExpectNoPassword(res, "PARUVENDU");

  // The next night finds every photo on the server and replaces the feed.
  const auto again = inst.Run({"ParuVendu"});
  ASSERT_EQ(again.ExitStatus, 0) << again.Out << again.Err;
  EXPECT_EQ(ListFolder(photos.Root()), sent);
  EXPECT_EQ(ListFolder(portal.Root()), feeds);
  ExpectCopiesOf(portal.Root(), inst.WorkDir());
}

TEST_F(SftpRun, LeBonCoinSendsItsArchiveWhole) {
  Install("LeBonCoin", "LEBONCOIN", Pinned(photos), Pinned(portal));
  const auto res = inst.Run({"LeBonCoin"});
  ASSERT_EQ(res.ExitStatus, 0) << res.Out << res.Err << inst.LogText("LEBONCOIN");
  const auto sent = ListFolder(portal.Root());
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(sent[0].starts_with("LeBonCoin_") && sent[0].ends_with(".zip")) << sent[0];
  ExpectCopiesOf(portal.Root(), inst.WorkDir());
  EXPECT_EQ(testsupport::RunProcess("/usr/bin/unzip", {"-tq", portal.Root() + "/" + sent[0]}).ExitStatus, 0);
  ExpectNoPassword(res, "LEBONCOIN");
}

TEST_F(SftpRun, AnUnknownOrWrongHostKeyStopsTheConnectionAndSaysWhichKeyTheServerHas) {
  // The photo server's key is in no known hosts file: no photo goes, the feed does.
  const std::string knownHosts = inst.Root() + "/known_hosts";
  testsupport::WriteFile(knownHosts, "");
  Install("ParuVendu", "PARUVENDU", "FichierKnownHosts=" + knownHosts + "\r\n", Pinned(portal));
  auto res = inst.Run({"ParuVendu"});
  EXPECT_EQ(res.ExitStatus, 4) << res.Out << res.Err;
  std::string log = inst.LogText("PARUVENDU");
  EXPECT_NE(log.find("Unknown SSH host key of " + photos.Address()), std::string::npos) << log;
  EXPECT_NE(log.find("EmpreinteSSH=" + photos.Fingerprint()), std::string::npos) << log;
  EXPECT_TRUE(ListFolder(photos.Root()).empty());
  EXPECT_EQ(ListFolder(portal.Root()).size(), 1u);
  EXPECT_EQ(ReadFile(knownHosts), "") << "nothing is trusted on first use";

  // The portal presents another key than the one pinned: nothing is sent to it.
  Install("ParuVendu", "PARUVENDU", Pinned(photos), "EmpreinteSSH=" + photos.Fingerprint() + "\r\nTentatives=1\r\n");
  const auto before = ReadFile(portal.Root() + "/" + ListFolder(portal.Root())[0]);
  res = inst.Run({"ParuVendu"});
  EXPECT_EQ(res.ExitStatus, 3) << res.Out << res.Err;
  // The portal connection's words go to the memo.
  EXPECT_NE(res.Out.find("is not the one in EmpreinteSSH (" + photos.Fingerprint() + "): the server presents " +
                         portal.Fingerprint()),
            std::string::npos)
      << res.Out;
  EXPECT_EQ(ReadFile(portal.Root() + "/" + ListFolder(portal.Root())[0]), before);
}
