#include "feeds/FeedGuards.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/RunFixture.h"

namespace {

struct GuardFixture : testsupport::TRunFixture {
  // A run of `count` vehicles, after a last feed of `last` (none when < 0),
  // with these lines in the portal's section.
  bool MaySend(int count, int last, const std::string& settings = "") {
    if (last >= 0) testsupport::WriteFile(windir / "TEMP/Annoncia/DernierEnvoiPARUVENDU.txt", std::to_string(last) + "\n");
    testsupport::WriteSettingsFile(windir / "annoncia.ini", "[PARUVENDU]\r\n" + settings);
    StartRun("PARUVENDU", {.SettingsFile = windir / "annoncia.ini"});
    run.Counters.VehicleCount = count;
    return feeds::FeedMayBeSent(run);
  }
};

}  // namespace

TEST_F(GuardFixture, EmptyAndFallenStocksAreHeldBack) {
  struct Case {
    int count, last;
    const char* settings;
    bool answer;  // the operator's, when asked
    bool asked, sent;
  } const cases[] = {
      {10, -1, "", false, false, true},                // nothing to compare with
      {0, -1, "", false, false, false},                // empty
      {0, 10, "EnvoiStockVide=1\r\n", false, false, true},
      {0, 10, "EnvoiStockVide=0\r\n", false, false, false},
      {4, 10, "", false, true, false},                 // fell by 60 %
      {5, 10, "", false, false, true},                 // exactly half stays
      {6, 10, "", false, false, true},                 // fell by 40 %
      {4, 10, "", true, true, true},                   // the operator said send
      {9, 10, "SeuilBaisse=95\r\n", false, true, false},
      {1, 10, "SeuilBaisse=0\r\n", false, false, true},  // the check off
      {4, 10, "SeuilBaisse=abc\r\n", false, true, false},  // a wrong value keeps the default
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.count) + " after " + std::to_string(c.last) + " " + c.settings);
    std::filesystem::remove(windir / "TEMP/Annoncia/DernierEnvoiPARUVENDU.txt");
    window.QuestionAnswer = c.answer;
    window.Questions.clear();
    EXPECT_EQ(MaySend(c.count, c.last, c.settings), c.sent);
    EXPECT_EQ(run.Outcome(), c.sent ? shell::TRunOutcome::NoRun : shell::TRunOutcome::HeldBack);
    EXPECT_EQ(window.Questions.size(), c.asked ? 1u : 0u);
  }
}

TEST_F(GuardFixture, HeldBackLinesSayWhyAndHowToSendAnyway) {
  EXPECT_FALSE(MaySend(0, -1));
  EXPECT_EQ(run.OutcomeText(), "Flux retenu, non transmis : il ne contient aucun véhicule (EnvoiStockVide=1 dans "
                               "la section [PARUVENDU] pour envoyer un stock vide)");
  EXPECT_FALSE(MaySend(3, 10));
  EXPECT_EQ(run.OutcomeText(), "Flux retenu, non transmis : 3 VO contre 10 au dernier envoi, sous le seuil "
                               "SeuilBaisse de 50 % (ANNONCIA_FORCER=1 pour l'envoyer quand même)");
  ASSERT_EQ(window.Questions.size(), 1u);
  EXPECT_EQ(window.Questions[0], "Annoncia|Le flux PARUVENDU compte 3 VO contre 10 au dernier envoi, moins de 50 "
                                 "%.\r\nL'envoyer quand même ?");
  setenv("ANNONCIA_FORCER", "1", 1);
  EXPECT_TRUE(MaySend(3, 10));
  EXPECT_FALSE(MaySend(0, 10));  // an empty stock needs its own switch
  unsetenv("ANNONCIA_FORCER");
}

TEST(CheckExportShape, TheRootAndTheVehicleListMustBeThere) {
  const std::pair<const char*, const char*> cases[] = {
      {"<document><DataVOS/></document>", nullptr},
      {"<document><DataVOS><DataVO/></DataVOS></document>", nullptr},
      {"<racine><DataVOS/></racine>", "élément racine <racine> trouvé, <document> attendu"},
      {"<document/>", "liste des véhicules <DataVOS> absente de <document>"},
      {"<document><DataVO/></document>", "liste des véhicules <DataVOS> absente de <document>"},
  };
  for (const auto& [xml, why] : cases) {
    const auto doc = xmldoc::TXMLCursor::Create();
    doc->LoadXML(xml);
    if (!why) {
      EXPECT_NO_THROW(feeds::CheckExportShape(*doc, "/w/ExpDatasX.xml")) << xml;
      continue;
    }
    try {
      feeds::CheckExportShape(*doc, "/w/ExpDatasX.xml");
      ADD_FAILURE() << xml;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), std::string("Export de données refusé : /w/ExpDatasX.xml : ") + why);
    }
  }
}
