// Whole runs of the console program against proftpd (Debian's FTP server,
// with mod_tls) as the portal and the photo server: plain FTP, explicit and
// implicit FTPS, active and passive data connections, certificates checked,
// and the password kept out of every output.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/Installation.h"
#include "support/ProFtpdServer.h"

using testsupport::ReadFile;
using testsupport::TProFtpdOptions;
using testsupport::TProFtpdSecurity;
using testsupport::TProFtpdServer;

namespace {

constexpr const char* kPortalPassword = "Portail-Secret-42";
constexpr const char* kPhotoPassword = "Photos-Secret-42";
constexpr const char* kUrlImages = "http://photos.example/vo";

// One vehicle with two photos and one with none, as the stock system writes them.
const std::string kExport =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n<document>"
    "<DataVOS EOF=\"False\" BOF=\"False\" RecordName=\"DataVO\">"
    "<DataVO><idNVO>101</idNVO><InfoMarque>RENAULT</InfoMarque><SousRubrique>Renault</SousRubrique>"
    "<ModeleVersion>RENAULT Clio 1.5 dCi</ModeleVersion><Couleur>Blanc nacr\xE9</Couleur>"
    "<NomPhoto1></NomPhoto1><NomPhoto2></NomPhoto2></DataVO>"
    "<DataVO><idNVO>102</idNVO><InfoMarque>FIAT</InfoMarque><SousRubrique>Fiat</SousRubrique>"
    "<ModeleVersion>500</ModeleVersion></DataVO>"
    "</DataVOS><LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">"
    "<LiensImages><idNVO>101</idNVO><NomImage>101_1</NomImage></LiensImages>"
    "<LiensImages><idNVO>101</idNVO><NomImage>101_2</NomImage></LiensImages>"
    "</LiensImagesS><LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\">"
    "</LiensEquipementsS><Aliases/></document>\r\n";

std::string SecurityValue(TProFtpdSecurity security) {
  switch (security) {
    case TProFtpdSecurity::None: return "";
    case TProFtpdSecurity::ExplicitTls: return "TLS";
    case TProFtpdSecurity::ImplicitTls: return "TLS-implicite";
  }
  return "";
}

const char* SecurityName(TProFtpdSecurity security) {
  switch (security) {
    case TProFtpdSecurity::None: return "Ftp";
    case TProFtpdSecurity::ExplicitTls: return "ExplicitTls";
    case TProFtpdSecurity::ImplicitTls: return "ImplicitTls";
  }
  return "";
}

// How a section connects to its server.
struct TConnection {
  TProFtpdSecurity Security = TProFtpdSecurity::None;
  bool Passive = false;
  // The server's own certificate as the authority (it is self-signed).
  bool TrustServer = true;
  std::string VerifierCertificat = "";  // empty: not written (on by default)
};

std::string ConnectionLines(const TProFtpdServer& server, const TConnection& c) {
  std::string lines = "ServeurFTP=" + server.Address() + "\r\nModePassif=" + (c.Passive ? "1" : "0") + "\r\n";
  if (c.Security != TProFtpdSecurity::None) lines += "Securite=" + SecurityValue(c.Security) + "\r\n";
  if (c.TrustServer && !server.CertificateFile().empty()) lines += "CertificatAC=" + server.CertificateFile() + "\r\n";
  if (!c.VerifierCertificat.empty()) lines += "VerifierCertificat=" + c.VerifierCertificat + "\r\n";
  return lines;
}

// The installed console program, a portal server and a photo server, both
// proftpd, and the dealer's photo folder.
struct TRealRun {
  TRealRun(std::string option, TProFtpdOptions portal, TProFtpdOptions photos)
      : Inst(ANNONCIA_CONSOLE_PATH, {ANNONCIA_ZIPENGINE_PATH}),
        Portal(Complete(std::move(portal), "portail@ftp.example", kPortalPassword, "in")),
        Photos(Complete(std::move(photos), "photos@ftp.example", kPhotoPassword, "www/clicheo")),
        Option(std::move(option)),
        PhotoDir(Inst.Root() + "/photos") {
    testsupport::MakeDirs(PhotoDir);
  }

  static TProFtpdOptions Complete(TProFtpdOptions o, const char* user, const char* password, const char* folder) {
    o.User = user;
    o.Password = password;
    o.Folder = folder;
    return o;
  }

  // portalPassword: the password the program is given for the portal server.
  void WriteIni(const TConnection& portal, const TConnection& photos,
                const std::string& portalPassword = kPortalPassword) const {
    Inst.WriteIni("[Options]\r\nPathImages=" + PhotoDir + "\r\nURLImages=" + kUrlImages +
                  "\r\n[Clicheo]\r\n" + ConnectionLines(Photos, photos) +
                  "User=photos@ftp.example\r\nPassWord=" + kPhotoPassword + "\r\nPathFTP=www/clicheo\r\n"
                  "[" + Option + "]\r\n" + ConnectionLines(Portal, portal) +
                  "User=portail@ftp.example\r\nPassWord=" + portalPassword +
                  "\r\nPathFTP=in\r\nTestFTPClicheo=1\r\nTentatives=3\r\nPauseTentatives=0\r\n");
  }

  void WriteExport(const std::string& portal) const {
    testsupport::WriteFile(Inst.WorkDir() + "/ExpDatas" + portal + ".xml", kExport);
  }

  // Photos whose bytes run through every value, with their thumbnails.
  void WritePhotos() const {
    std::string bytes;
    for (int k = 0; k < 70000; ++k) bytes += static_cast<char>((k * 7 + k / 256) & 0xFF);
    for (const char* name : {"101_1", "101_2"}) {
      testsupport::WriteFile(PhotoDir + "/" + name + ".jpg", bytes + name);
      testsupport::WriteFile(PhotoDir + "/" + name + "m.jpg", "\xFF\xD8" + std::string(name) + "\r\n\x1A\xFF\xD9");
    }
  }

  testsupport::TProcessResult Run() const { return Inst.Run({Option}, {}, 60); }

  // Fails the test where a password shows in the program's output or files.
  void ExpectNoPasswordShown(const testsupport::TProcessResult& res) const {
    std::vector<std::pair<std::string, std::string>> texts{{"stdout", res.Out}, {"stderr", res.Err}};
    for (const auto& name : testsupport::ListFolder(Inst.TempDir())) {
      if (name.ends_with(".log")) texts.emplace_back(name, ReadFile(Inst.TempDir() + "/" + name));
    }
    for (const auto& name : testsupport::ListFolder(Inst.WorkDir())) {
      if (name.starts_with("historique") || name.starts_with("etat")) {
        texts.emplace_back(name, ReadFile(Inst.WorkDir() + "/" + name));
      }
    }
    for (const auto& [name, text] : texts) {
      for (const std::string password : {kPortalPassword, kPhotoPassword, "Wrong-Secret-42"}) {
        EXPECT_EQ(text.find(password), std::string::npos) << name << " shows a password:\n" << text;
      }
    }
  }

  std::vector<std::string> Verbs(const TProFtpdServer& server) const {
    std::vector<std::string> verbs;
    for (const auto& line : server.Commands()) verbs.push_back(line.substr(0, line.find(' ')));
    return verbs;
  }

  testsupport::TInstallation Inst;
  TProFtpdServer Portal;
  TProFtpdServer Photos;
  const std::string Option;
  const std::string PhotoDir;
};

bool Has(const std::vector<std::string>& verbs, const std::string& verb) {
  return std::find(verbs.begin(), verbs.end(), verb) != verbs.end();
}

std::vector<std::string> Matches(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> found;
  for (const auto& name : testsupport::ListFolder(folder)) {
    if (std::regex_match(name, std::regex(pattern))) found.push_back(name);
  }
  return found;
}

// The log's messages, without their date and time.
std::vector<std::string> LogMessages(const std::string& log) {
  std::vector<std::string> messages;
  std::regex line(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d - (.*)\r)");
  std::istringstream in(log);
  for (std::string text; std::getline(in, text);) {
    std::smatch m;
    EXPECT_TRUE(std::regex_match(text, m, line)) << text;
    messages.push_back(m[1]);
  }
  return messages;
}

// Checks that the control connection was protected before the login (for
// implicit TLS the server speaks nothing else), and the data connections
// before any data went.
void ExpectProtected(const std::vector<std::string>& verbs, TProFtpdSecurity security, const std::string& server) {
  if (security == TProFtpdSecurity::None) {
    EXPECT_FALSE(Has(verbs, "AUTH")) << server;
    EXPECT_FALSE(Has(verbs, "PROT")) << server;
    return;
  }
  const auto user = std::find(verbs.begin(), verbs.end(), "USER");
  ASSERT_NE(user, verbs.end()) << server;
  if (security == TProFtpdSecurity::ExplicitTls) {
    EXPECT_NE(std::find(verbs.begin(), user, "AUTH"), user) << server;
  }
  const auto data = std::find_if(verbs.begin(), verbs.end(), [](const std::string& v) {
    return v == "STOR" || v == "NLST" || v == "LIST" || v == "RETR";
  });
  if (data != verbs.end()) {
    EXPECT_NE(std::find(verbs.begin(), data, "PROT"), data) << server;
  }
}

struct TMatrixCase {
  TProFtpdSecurity Security;
  bool Passive;
  bool Tls13 = false;  // the servers offer TLS 1.3 beside 1.2
};

void PrintTo(const TMatrixCase& c, std::ostream* os) {
  *os << SecurityName(c.Security) << (c.Tls13 ? " TLS 1.3" : "") << (c.Passive ? " passive" : " active");
}

std::string CaseName(const testing::TestParamInfo<TMatrixCase>& info) {
  return std::string(SecurityName(info.param.Security)) + (info.param.Tls13 ? "13" : "") +
         (info.param.Passive ? "Passive" : "Active");
}

std::string ProtocolName(const testing::TestParamInfo<TProFtpdSecurity>& info) {
  return SecurityName(info.param);
}

// The libcurl the program is built with is older than 8.0.
bool LibcurlBefore8() { return std::stoi(ANNONCIA_LIBCURL_VERSION) < 8; }

class ParuVenduOnProFtpd : public testing::TestWithParam<TMatrixCase> {};

}  // namespace

// A whole ParuVendu run with photo synchronisation: the feed and every photo
// reach their servers byte for byte, over each protocol and data mode.
TEST_P(ParuVenduOnProFtpd, SendsTheFeedAndThePhotos) {
  const auto [security, passive, tls13] = GetParam();
  if (tls13) {
    GTEST_SKIP() << "fault in the FTP session: over TLS 1.3 every second data connection of a session is refused "
                    "by the server (proftpd: \"client did not reuse TLS session\"; the session libcurl offers is "
                    "the one of the previous data connection, not the control connection's), so every second "
                    "photo stays as .part; the session should keep FTPS at TLS 1.2 (or reuse the control "
                    "connection's session) until that holds";
  }
  if (security != TProFtpdSecurity::None && !passive && LibcurlBefore8()) {
    GTEST_SKIP() << "fault in the FTP session: with libcurl " << ANNONCIA_LIBCURL_VERSION
                 << " an active data connection over TLS is opened without TLS (libcurl lost its TLS layer for "
                    "accepted data connections from 7.87 to 7.88, fixed in 8.0), so the server's handshake fails: "
                    "the photo listing waits for the 60 s limit (\"Timeout was reached\"), every try of the feed "
                    "fails with 425 and the run ends with status 3; the session should not take active mode with "
                    "TLS on such a libcurl (passive instead, or a clear error at once)";
  }
  const std::string protocols = tls13 ? "TLSv1.2 TLSv1.3" : "TLSv1.2";
  TRealRun r("PARUVENDU", {.Security = security, .TlsProtocols = protocols},
             {.Security = security, .TlsProtocols = protocols});
  r.WriteIni({.Security = security, .Passive = passive}, {.Security = security, .Passive = passive});
  r.WriteExport("ParuVendu");
  r.WritePhotos();
  const auto res = r.Run();
  ASSERT_EQ(res.ExitStatus, 0) << res.Out << res.Err << r.Portal.Diagnostics() << r.Photos.Diagnostics();
  EXPECT_EQ(res.Err, "");

  const auto feeds = Matches(r.Inst.WorkDir(), R"(RovelleDatasVO-\d{8}\.xml)");
  ASSERT_EQ(feeds.size(), 1u);
  EXPECT_EQ(testsupport::ListFolder(r.Portal.Root()), feeds);
  EXPECT_EQ(ReadFile(r.Portal.Root() + "/" + feeds[0]), ReadFile(r.Inst.WorkDir() + "/" + feeds[0]));
  const std::vector<std::string> photos{"101_1.jpg", "101_1m.jpg", "101_2.jpg", "101_2m.jpg"};
  ASSERT_EQ(testsupport::ListFolder(r.Photos.Root()), photos) << res.Out << r.Photos.Diagnostics();
  for (const auto& name : photos) {
    EXPECT_EQ(ReadFile(r.Photos.Root() + "/" + name), ReadFile(r.PhotoDir + "/" + name)) << name;
  }

  const auto messages = LogMessages(r.Inst.LogText("PARUVENDU"));
  ASSERT_EQ(messages.size(), 3u) << r.Inst.LogText("PARUVENDU");
  EXPECT_EQ(messages[0], "Nb Images Mises à jour : 4 photos --- ");
  EXPECT_TRUE(messages[2].starts_with("Transfert FTP OK : ")) << messages[2];

  for (const auto* server : {&r.Portal, &r.Photos}) {
    const auto verbs = r.Verbs(*server);
    const std::string which = server == &r.Portal ? "portal" : "photos";
    ExpectProtected(verbs, security, which);
    EXPECT_EQ(std::count(verbs.begin(), verbs.end(), "USER"), 1) << which;
    EXPECT_EQ(Has(verbs, "EPSV") || Has(verbs, "PASV"), passive) << which;
    EXPECT_EQ(Has(verbs, "EPRT") || Has(verbs, "PORT"), !passive) << which;
  }
  r.ExpectNoPasswordShown(res);
}

INSTANTIATE_TEST_SUITE_P(Matrix, ParuVenduOnProFtpd,
                         testing::Values(TMatrixCase{TProFtpdSecurity::None, false},
                                         TMatrixCase{TProFtpdSecurity::None, true},
                                         TMatrixCase{TProFtpdSecurity::ExplicitTls, false},
                                         TMatrixCase{TProFtpdSecurity::ExplicitTls, true},
                                         TMatrixCase{TProFtpdSecurity::ImplicitTls, true},
                                         TMatrixCase{TProFtpdSecurity::ExplicitTls, true, true}),
                         CaseName);

// An archive portal: the server's folder ends up holding exactly the archive
// made locally, byte for byte.
class LeBonCoinOnProFtpd : public testing::TestWithParam<TProFtpdSecurity> {};

TEST_P(LeBonCoinOnProFtpd, SendsExactlyTheLocalArchive) {
  const TProFtpdSecurity security = GetParam();
  TRealRun r("LEBONCOIN", {.Security = security}, {.Security = security});
  r.WriteIni({.Security = security, .Passive = true}, {.Security = security, .Passive = true});
  r.WriteExport("LeBonCoin");
  r.WritePhotos();
  const auto res = r.Run();
  ASSERT_EQ(res.ExitStatus, 0) << res.Out << res.Err << r.Portal.Diagnostics();
  const auto archives = Matches(r.Inst.WorkDir(), R"(LeBonCoin_\d{8}\.zip)");
  ASSERT_EQ(archives.size(), 1u);
  EXPECT_EQ(testsupport::ListFolder(r.Portal.Root()), archives);
  EXPECT_EQ(ReadFile(r.Portal.Root() + "/" + archives[0]), ReadFile(r.Inst.WorkDir() + "/" + archives[0]));
  EXPECT_EQ(testsupport::RunProcess("/usr/bin/unzip", {"-tq", r.Portal.Root() + "/" + archives[0]}).ExitStatus, 0);
  EXPECT_EQ(testsupport::ListFolder(r.Photos.Root()).size(), 4u);
  ExpectProtected(r.Verbs(r.Portal), security, "portal");
  r.ExpectNoPasswordShown(res);
}

INSTANTIATE_TEST_SUITE_P(Protocols, LeBonCoinOnProFtpd,
                         testing::Values(TProFtpdSecurity::None, TProFtpdSecurity::ExplicitTls,
                                         TProFtpdSecurity::ImplicitTls),
                         ProtocolName);

// A wrong portal password: the server refuses the login, the run says so and
// ends with status 3, nothing is stored, and the password shows nowhere.
class WrongPasswordOnProFtpd : public testing::TestWithParam<TProFtpdSecurity> {};

TEST_P(WrongPasswordOnProFtpd, FailsClearly) {
  const TProFtpdSecurity security = GetParam();
  TRealRun r("PARUVENDU", {.Security = security}, {.Security = security});
  r.WriteIni({.Security = security, .Passive = true}, {.Security = security, .Passive = true}, "Wrong-Secret-42");
  r.WriteExport("ParuVendu");
  const auto res = r.Run();
  EXPECT_EQ(res.ExitStatus, 3) << res.Out << res.Err;
  EXPECT_NE(res.Out.find("\nLogin denied (530 Login incorrect.)\n"), std::string::npos) << res.Out;
  const auto messages = LogMessages(r.Inst.LogText("PARUVENDU"));
  ASSERT_FALSE(messages.empty());
  EXPECT_TRUE(messages.back().starts_with("Transfert FTP : Erreur Connexion au serveur. ")) << messages.back();
  EXPECT_EQ(testsupport::ListFolder(r.Portal.Root()), std::vector<std::string>{});
  const auto verbs = r.Verbs(r.Portal);
  EXPECT_FALSE(Has(verbs, "STOR"));
  // A refused login is not tried again.
  EXPECT_EQ(std::count(verbs.begin(), verbs.end(), "USER"), 1);
  ExpectProtected(verbs, security, "portal");
  r.ExpectNoPasswordShown(res);
}

INSTANTIATE_TEST_SUITE_P(Protocols, WrongPasswordOnProFtpd,
                         testing::Values(TProFtpdSecurity::None, TProFtpdSecurity::ExplicitTls,
                                         TProFtpdSecurity::ImplicitTls),
                         ProtocolName);

// Certificates: a server whose certificate does not name the host, or comes
// from an authority nobody gave, is refused while the check is on, with one
// line saying what failed; with the check off the run goes through and its
// log says the certificate was not checked.
struct TCertificateCase {
  const char* Name;
  TProFtpdSecurity Security;
  bool OnPhotoServer;          // the photo server's certificate, else the portal's
  const char* CertificateName;  // subjectAltName of the server's certificate
  bool TrustServer;             // CertificatAC: the server's (self-signed) certificate
  const char* Verify;           // VerifierCertificat
  int ExitStatus;
  const char* LogPart;          // in the log
  const char* MemoLine;         // a whole line of the memo
};

void PrintTo(const TCertificateCase& c, std::ostream* os) { *os << c.Name; }

class CertificateOnProFtpd : public testing::TestWithParam<TCertificateCase> {};

TEST_P(CertificateOnProFtpd, IsCheckedAsSet) {
  const TCertificateCase& c = GetParam();
  const TProFtpdOptions checked{.Security = c.Security, .CertificateName = c.CertificateName};
  TRealRun r("PARUVENDU", c.OnPhotoServer ? TProFtpdOptions{} : checked, c.OnPhotoServer ? checked : TProFtpdOptions{});
  const TConnection connection{.Security = c.Security, .Passive = true, .TrustServer = c.TrustServer,
                               .VerifierCertificat = c.Verify};
  const TConnection plain{.Passive = true};
  r.WriteIni(c.OnPhotoServer ? plain : connection, c.OnPhotoServer ? connection : plain);
  r.WriteExport("ParuVendu");
  r.WritePhotos();
  const auto res = r.Run();
  EXPECT_EQ(res.ExitStatus, c.ExitStatus) << res.Out << res.Err;
  const std::string log = r.Inst.LogText("PARUVENDU");
  EXPECT_NE(log.find(c.LogPart), std::string::npos) << log;
  EXPECT_NE(("\n" + res.Out).find("\n" + std::string(c.MemoLine) + "\n"), std::string::npos) << res.Out;
  const TProFtpdServer& server = c.OnPhotoServer ? r.Photos : r.Portal;
  if (c.ExitStatus == 0) {
    EXPECT_EQ(testsupport::ListFolder(server.Root()).size(), c.OnPhotoServer ? 4u : 1u);
  } else {
    // Refused before the login: the password never went to that server.
    EXPECT_FALSE(Has(r.Verbs(server), "PASS")) << testing::PrintToString(server.Commands());
    EXPECT_EQ(testsupport::ListFolder(server.Root()), std::vector<std::string>{});
  }
  r.ExpectNoPasswordShown(res);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CertificateOnProFtpd,
    testing::Values(
        TCertificateCase{"NameMismatchRefused", TProFtpdSecurity::ExplicitTls, false, "DNS:other.example", true, "1",
                         3, "Transfert FTP : Erreur Connexion au serveur. ",
                         "SSL peer certificate or SSH remote key was not OK: SSL: no alternative certificate subject name matches "
                         "target host name '127.0.0.1'"},
        TCertificateCase{"NameMismatchRefusedImplicit", TProFtpdSecurity::ImplicitTls, false, "DNS:other.example",
                         true, "1", 3, "Transfert FTP : Erreur Connexion au serveur. ",
                         "SSL peer certificate or SSH remote key was not OK: SSL: no alternative certificate subject name matches "
                         "target host name '127.0.0.1'"},
        TCertificateCase{"UnknownAuthorityRefused", TProFtpdSecurity::ExplicitTls, false, "IP:127.0.0.1", false, "",
                         3, "Transfert FTP : Erreur Connexion au serveur. ",
                         "SSL peer certificate or SSH remote key was not OK: SSL certificate problem: self-signed "
                         "certificate"},
        TCertificateCase{"NameMismatchUncheckedPasses", TProFtpdSecurity::ExplicitTls, false, "DNS:other.example",
                         false, "0", 0,
                         "Attention : le certificat du serveur n'est pas vérifié (VerifierCertificat=0 dans la section "
                         "[PARUVENDU])",
                         "Transfer complete"},
        TCertificateCase{"PhotoServerNameMismatchRefused", TProFtpdSecurity::ExplicitTls, true, "DNS:other.example",
                         true, "1", 4,
                         "(serveur photos indisponible : SSL peer certificate or SSH remote key was not OK: SSL: no "
                         "alternative certificate subject name matches target host name '127.0.0.1')",
                         "SSL peer certificate or SSH remote key was not OK: SSL: no alternative certificate subject name matches "
                         "target host name '127.0.0.1'"},
        TCertificateCase{"PhotoServerUncheckedPasses", TProFtpdSecurity::ImplicitTls, true, "DNS:other.example",
                         false, "0", 0,
                         "Attention : le certificat du serveur n'est pas vérifié (VerifierCertificat=0 dans la section "
                         "[Clicheo])",
                         "Transfer complete"}),
    [](const testing::TestParamInfo<TCertificateCase>& param) { return std::string(param.param.Name); });

// Explicit TLS asked of a server that offers none: the run fails at AUTH TLS
// and never sends the user or the password in clear.
TEST(ExplicitTlsOnProFtpd, AServerWithoutTlsIsRefusedBeforeTheLogin) {
  TRealRun r("PARUVENDU", {}, {});
  r.WriteIni({.Security = TProFtpdSecurity::ExplicitTls, .Passive = true},
             {.Security = TProFtpdSecurity::ExplicitTls, .Passive = true});
  r.WriteExport("ParuVendu");
  r.WritePhotos();
  const auto res = r.Run();
  EXPECT_EQ(res.ExitStatus, 3) << res.Out << res.Err;
  for (const auto* server : {&r.Portal, &r.Photos}) {
    const auto verbs = r.Verbs(*server);
    EXPECT_TRUE(Has(verbs, "AUTH")) << testing::PrintToString(server->Commands());
    EXPECT_FALSE(Has(verbs, "USER")) << testing::PrintToString(server->Commands());
    EXPECT_FALSE(Has(verbs, "PASS")) << testing::PrintToString(server->Commands());
  }
  EXPECT_EQ(testsupport::ListFolder(r.Portal.Root()), std::vector<std::string>{});
  EXPECT_EQ(testsupport::ListFolder(r.Photos.Root()), std::vector<std::string>{});
  const auto messages = LogMessages(r.Inst.LogText("PARUVENDU"));
  ASSERT_FALSE(messages.empty());
  EXPECT_TRUE(messages.back().starts_with("Transfert FTP : Erreur Connexion au serveur. ")) << messages.back();
  r.ExpectNoPasswordShown(res);
}
