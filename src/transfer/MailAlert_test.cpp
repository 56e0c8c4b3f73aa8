// Mail alerts against a real SMTP server (aiosmtpd) on loopback; what it
// received is read back with Python's own mail parser.
#include <gtest/gtest.h>

#include <chrono>

#include "support/SmtpServer.h"
#include "support/TestSupport.h"
#include "transfer/MailAlert.h"

using testsupport::TSmtpServer;
using transfer::TMailMessage;
using transfer::TMailSecurity;
using transfer::TMailServer;

namespace {

const TMailMessage kMessage{"annoncia@garage.example",
                            {"patron@garage.example", "it@garage.example"},
                            "Annoncia ParuVendu : non envoyé — véhicules retenus pour contrôle de qualité",
                            "Export Annoncia pour ParuVendu : non envoyé\r\n.\r\nErreur : Transfert FTP : Erreur "
                            "Connexion au serveur.\r\n"};

// Each received message as "from|to,to|login|subject|body", decoded by Python.
constexpr const char* kReadMailLog = R"(
import email, email.policy, json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    m = json.loads(line)
    if "mail_from" not in m:
        print("failed login:", m["failed_login"]); continue
    msg = email.message_from_string(m["data"], policy=email.policy.default)
    print("|".join([m["mail_from"], ",".join(m["rcpt_tos"]), str(m["login"]), msg["subject"],
                    msg.get_content().replace("\r\n", "\n")]))
)";

std::string Received(const TSmtpServer& server) {
  const auto r = testsupport::RunPython(kReadMailLog, {server.MailLogPath()});
  EXPECT_EQ(r.ExitStatus, 0) << r.Err;
  return r.Out;
}

}  // namespace

TEST(MailAlert, TheServerGetsTheMessageWithItsTextDecoded) {
  TSmtpServer server({.User = "alertes@garage.example", .Password = "S3cret!"});
  transfer::SendMail({.Server = server.Address(), .User = "alertes@garage.example", .PassWord = "S3cret!"}, kMessage,
                     {});
  EXPECT_EQ(Received(server),
            "annoncia@garage.example|patron@garage.example,it@garage.example|alertes@garage.example|" +
                kMessage.Subject + "|Export Annoncia pour ParuVendu : non envoyé\n.\nErreur : Transfert FTP : "
                                   "Erreur Connexion au serveur.\n\n");
}

TEST(MailAlert, FailuresRaiseWithoutThePassword) {
  struct Case {
    const char* name;
    std::vector<std::string> faults;
    TMailSecurity security;
    std::string password;
  };
  const Case cases[] = {
      {"wrong password", {}, TMailSecurity::None, "Wr0ngPass"},
      {"recipients refused", {"reject_rcpt"}, TMailSecurity::None, "S3cret!"},
      // A server without STARTTLS: nothing, the login least of all, goes out in plain text.
      {"STARTTLS required", {}, TMailSecurity::StartTls, "S3cret!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TSmtpServer server({.User = "alertes", .Password = "S3cret!", .Faults = c.faults});
    try {
      transfer::SendMail({.Server = server.Address(), .Security = c.security, .User = "alertes", .PassWord = c.password},
                         kMessage, {});
      ADD_FAILURE() << "no error";
    } catch (const transfer::EMailError& error) {
      EXPECT_EQ(std::string(error.what()).find(c.password), std::string::npos) << error.what();
    }
    EXPECT_EQ(server.MessageCount(), 0);
    if (c.security == TMailSecurity::StartTls) {
      EXPECT_EQ(testsupport::ReadFile(server.MailLogPath()), "");
    }
  }
}

TEST(MailAlert, ADeadOrSilentServerFailsWithinTheTimeLimit) {
  TSmtpServer silent({.Faults = {"silent"}});
  for (const std::string& address :
       {"127.0.0.1:" + std::to_string(testsupport::ClosedLoopbackPort()), silent.Address()}) {
    SCOPED_TRACE(address);
    int pumped = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(transfer::SendMail({.Server = address, .TimeLimit = std::chrono::milliseconds(1500)}, kMessage,
                                    [&pumped] { ++pumped; }),
                 transfer::EMailError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    if (address == silent.Address()) {
      EXPECT_GE(pumped, 5);  // the window is serviced while it waits
    }
  }
}

TEST(MailAlert, AddressesThatCouldBreakTheHeadersAreRefused) {
  for (const char* bad : {"", "nobody", "a@b.example\r\nBcc: x@y.example", "a b@c.example", "<a@b.example>",
                          "a@b.example,c@d.example", "@b.example", "a@"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(transfer::IsMailAddress(bad));
    TMailMessage m = kMessage;
    m.To = {bad};
    EXPECT_THROW(transfer::ComposeMail(m, {}), transfer::EMailError);
  }
  EXPECT_TRUE(transfer::IsMailAddress("prenom.nom+annonces@garage-durand.example"));
}

TEST(MailAlert, HeadersAreDatedAndLongSubjectsFolded) {
  const std::string text = transfer::ComposeMail(kMessage, {2026, 12, 11, 2, 15, 3, 60});
  EXPECT_EQ(text.find("Date: Fri, 11 Dec 2026 02:15:03 +0100\r\n"), 0u) << text;
  // No header line is longer than the 78 characters mail allows.
  for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    EXPECT_LE(end - start, 78u) << text.substr(start, end - start);
  }
}
