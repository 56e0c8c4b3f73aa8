#include <gtest/gtest.h>

#include <cstdlib>

#include "feeds/FeedSteps.h"
#include "feeds/SitAutoProFeed.h"
#include "platform/Clock.h"
#include "support/RunFixture.h"

using feeds::TSitAutoProLists;

TEST(SitAutoProCategory, BodyTypeWordsGiveTheirCodes) {
  const std::pair<const char*, const char*> cases[] = {
      {"Berline", "11100"}, {"break", "11200"},  {"Monospace", "11300"}, {"4x4", "11400"},
      {"Pick up", "11400"}, {"Cabriolet", "11500"}, {"Coupé", "11500"},  {"COUPÉ", "11500"},
      {"Coupè", "11500"},   {"Société", "11200"},  {"SUV", "11100"},     {"", "11100"},
      {"Coupé ", "11100"},  {"Pick-up", "11100"},
  };
  for (const auto& [word, code] : cases) EXPECT_EQ(feeds::CategoryCodeFromBodyType(word), code) << word;
}

namespace {
std::string ValueOf(const std::vector<std::pair<std::string, std::string>>& elements, const std::string& name) {
  for (const auto& [n, v] : elements) {
    if (n == name) return v;
  }
  return "<missing>";
}
}  // namespace

TEST(SitAutoProEquipment, ElementsInFeedOrder) {
  std::vector<std::string> names;
  for (const auto& e : feeds::SitAutoProEquipment({})) names.push_back(e.first);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "AUTO_RADIO", "CLIMATISATION", "DIRECTION_ASSISTEE", "FERMETURE_CENTRALISEE", "GPS",
                       "ORDINATEUR_DE_BORD", "PORTE_BAGAGE", "RETROVISEURS_ELECTRIQUES", "SIEGES_CHAUFFANTS",
                       "SIEGES_ELECTRIQUES", "TOIT_OUVRANT", "VITRES_ELECTRIQUES", "VITRES_SURTEINTEES",
                       "VOLANT_MULTIFONCTIONS", "ABS", "AIRBAGS_FRONTAUX", "AIRBAGS_LATERAUX", "ALARME",
                       "ANTI_DEMARRAGE", "ANTI_PATINAGE", "ESP", "PHARES_ANTIBROUILLARD", "PROJECTEURS_XENON",
                       "ATTELAGE", "JANTES", "NON_FUMEUR", "REGULATEUR_DE_VITESSE", "TUNING"}));
}

// Every code in its own list answers "O"; the same codes spread over the
// wrong lists answer "N": each element reads its code from its own list.
TEST(SitAutoProEquipment, EachFlagReadsItsOwnList) {
  const std::string interior = ";DirAss;OrdiBord;SChauf;SElect;ToitOuvr;VitreElect;VitreTeint;VMFonct;RegVit;";
  const std::string exterior = ";PorBag;RetrElec;AttRem;JantAll;Tuning;";
  const std::string safety = ";VerCent;ABS;AirbagCond;AirbagLat;Alarme;AntiDem;AntiPat;ESP;AntiBrou;LXen;";
  const std::string complement = ";VNF;";
  const auto right = feeds::SitAutoProEquipment({interior, exterior, safety, complement});
  const auto wrong = feeds::SitAutoProEquipment({exterior + safety, interior + complement, complement + interior,
                                                 interior + exterior + safety});
  for (std::size_t i = 2; i < right.size(); ++i) {
    const std::string& name = right[i].first;
    if (name == "GPS") continue;
    EXPECT_EQ(right[i].second, name == "JANTES" ? "alliage" : "O") << name;
    EXPECT_EQ(wrong[i].second, name == "JANTES" ? "" : "N") << name;
  }
  EXPECT_EQ(ValueOf(right, "GPS"), "");
  EXPECT_EQ(ValueOf(right, "AUTO_RADIO"), "N");
  EXPECT_EQ(ValueOf(right, "CLIMATISATION"), "");
}

TEST(SitAutoProEquipment, RadioAndClimateRules) {
  struct Case { const char* interior; const char* radio; const char* climate; };
  const Case cases[] = {
      {";RadCD;RadMP3;", "Radio CD", ""},
      {";RadMP3;RadCass;", "Radio K7", ""},
      {";RadMP3;", "Radio MP3", ""},
      {";radcd;Clim;", "N", "Climatisation"},  // codes compare in exact case
      {";Clim;ClimAuto;", "N", "Climatisation Automatique"},
      {";ClimAuto;", "N", "Climatisation Automatique"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    const auto elements = feeds::SitAutoProEquipment({c.interior, "", "", ""});
    EXPECT_EQ(ValueOf(elements, "AUTO_RADIO"), c.radio) << c.interior;
    EXPECT_EQ(ValueOf(elements, "CLIMATISATION"), c.climate) << c.interior;
  }
}

TEST(SitAutoProEquipment, EmptyListsGiveEmptyValues) {
  for (const auto& [name, value] : feeds::SitAutoProEquipment({})) EXPECT_EQ(value, "") << name;
  // A non-empty exterior list without the code: JANTES stays empty, never "N".
  EXPECT_EQ(ValueOf(feeds::SitAutoProEquipment({"", ";PorBag;", "", ""}), "JANTES"), "");
}

TEST(SitAutoProPhotoSlots, SlotsEndSideBySideInOrder) {
  const std::string six = "<NOMPHOTO1>a</NOMPHOTO1><NOMPHOTO2></NOMPHOTO2><NOMPHOTO3></NOMPHOTO3>"
                          "<NOMPHOTO4></NOMPHOTO4><NOMPHOTO5></NOMPHOTO5><NOMPHOTO6></NOMPHOTO6>";
  struct Case { const char* name; std::string vehicle; std::string expected; };
  const Case cases[] = {
      {"grouped, kept as it is", "<X/>\n <NOMPHOTO1>a</NOMPHOTO1>\n <NOMPHOTO2></NOMPHOTO2><NOMPHOTO3></NOMPHOTO3>"
                                 "<NOMPHOTO4></NOMPHOTO4><NOMPHOTO5></NOMPHOTO5><NOMPHOTO6></NOMPHOTO6><Y/>",
       "<X></X>\n <NOMPHOTO1>a</NOMPHOTO1>\n <NOMPHOTO2></NOMPHOTO2><NOMPHOTO3></NOMPHOTO3>"
       "<NOMPHOTO4></NOMPHOTO4><NOMPHOTO5></NOMPHOTO5><NOMPHOTO6></NOMPHOTO6><Y></Y>"},
      {"last two missing", "<X/><NOMPHOTO1>a</NOMPHOTO1><NOMPHOTO2></NOMPHOTO2><NOMPHOTO3></NOMPHOTO3>"
                           "<NOMPHOTO4></NOMPHOTO4><Y/>",
       "<X></X>" + six + "<Y></Y>"},
      {"first missing, others shuffled", "<X/><NOMPHOTO3></NOMPHOTO3><Y/><NOMPHOTO6></NOMPHOTO6><NOMPHOTO2></NOMPHOTO2>",
       "<X></X><NOMPHOTO1></NOMPHOTO1><NOMPHOTO2></NOMPHOTO2><NOMPHOTO3></NOMPHOTO3><NOMPHOTO4></NOMPHOTO4>"
       "<NOMPHOTO5></NOMPHOTO5><NOMPHOTO6></NOMPHOTO6><Y></Y>"},
      {"none", "<X/>", "<X></X><NOMPHOTO1></NOMPHOTO1><NOMPHOTO2></NOMPHOTO2><NOMPHOTO3></NOMPHOTO3>"
                       "<NOMPHOTO4></NOMPHOTO4><NOMPHOTO5></NOMPHOTO5><NOMPHOTO6></NOMPHOTO6>"},
      {"a slot twice", six + "<NOMPHOTO1>b</NOMPHOTO1>", six},
  };
  for (const Case& c : cases) {
    auto doc = xmldoc::TXMLCursor::Create();
    doc->LoadXML("<document><DataVOS><DataVO>" + c.vehicle + "</DataVO></DataVOS></document>");
    feeds::GroupPhotoSlots(*doc->Select("/document/DataVOS/DataVO"), "NOMPHOTO");
    EXPECT_EQ(doc->XML(), "<document><DataVOS><DataVO>" + c.expected + "</DataVO></DataVOS></document>\n") << c.name;
  }
}

TEST(SitAutoProTextRules, PhotoRulesKeepFilledSlotsInOnePhotosElement) {
  // Tags match in any case; the text around them is kept byte for byte.
  EXPECT_EQ(feeds::ApplyPhotoRules("<V><NOMPHOTO1>a</NOMPHOTO1><NOMPHOTO2></NOMPHOTO2><nomPhoto3>ı é ÿ</NOMPHOTO3>"
                                   "<NOMPHOTO4></NOMPHOTO4><NOMPHOTO5></NOMPHOTO5><NOMPHOTO6></NOMPHOTO6></V>"
                                   "<V><NOMPHOTO1></NOMPHOTO1><NOMPHOTO2></NOMPHOTO2><NOMPHOTO3></NOMPHOTO3>"
                                   "<NOMPHOTO4></NOMPHOTO4><NOMPHOTO5></NOMPHOTO5><NOMPHOTO6></NOMPHOTO6></V>"),
            "<V><PHOTOS><PHOTO>a</PHOTO><PHOTO>ı é ÿ</PHOTO></PHOTOS></V><V><PHOTOS></PHOTOS></V>");
}

TEST(SitAutoProTextRules, LayoutRulesMakeTheClientDocument) {
  const std::string text =
      "<?xml version=\"1.0\"?>\n<document><COORDONNEESS EOF=\"False\" BOF=\"False\" RecordName=\"COORDONNEES\">"
      "<COORDONNEES><CODECLIENT>SA1</CODECLIENT><VILLE>Lyon</VILLE></COORDONNEES></COORDONNEESS>"
      "<DataVOS EOF=\"False\" BOF=\"True\" RecordName=\"DataVO\">"
      "<DataVO><REFERENCE>1</REFERENCE><EQUTINTERIEUR>;a;</EQUTINTERIEUR><PRIX>9</PRIX>"
      "<INFOCOMPLEMENT>;b;</INFOCOMPLEMENT><ABS>O</ABS></DataVO>"
      "<DataVO><REFERENCE>2</REFERENCE><EQUTINTERIEUR></EQUTINTERIEUR><INFOCOMPLEMENT></INFOCOMPLEMENT></DataVO>"
      "</DataVOS></document>\n";
  EXPECT_EQ(feeds::ApplyLayoutRules(text, "SA1"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>\n<CLIENT CODE=\"SA1\"><COORDONNEES><VILLE>Lyon</VILLE>"
            "</COORDONNEES><ANNONCE><REFERENCE>1</REFERENCE><ABS>O</ABS></ANNONCE>"
            "<ANNONCE><REFERENCE>2</REFERENCE></ANNONCE></CLIENT>\n");
}

// A vehicle missing one list marker keeps its own text, and never pairs with
// a marker of another vehicle, even when the next one misses the other.
TEST(SitAutoProTextRules, CodeListStretchStaysInsideItsVehicle) {
  const std::string head = "<?xml version=\"1.0\"?>\n<document><COORDONNEESS EOF=\"True\" RecordName=\"COORDONNEES\">"
                           "</COORDONNEESS><DataVOS EOF=\"False\" RecordName=\"DataVO\">";
  const std::string text = head +
      "<DataVO><R>1</R><EQUTINTERIEUR>;a;</EQUTINTERIEUR><P>1</P></DataVO>"
      "<DataVO><R>2</R><Q>2</Q><INFOCOMPLEMENT>;b;</INFOCOMPLEMENT><S>2</S></DataVO>"
      "<DataVO><R>3</R><EQUTINTERIEUR>;c;</EQUTINTERIEUR><INFOCOMPLEMENT>;d;</INFOCOMPLEMENT><S>3</S></DataVO>"
      "</DataVOS></document>";
  EXPECT_EQ(feeds::ApplyLayoutRules(text, "C"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>\n<CLIENT CODE=\"C\">"
            "<ANNONCE><R>1</R><EQUTINTERIEUR>;a;</EQUTINTERIEUR><P>1</P></ANNONCE>"
            "<ANNONCE><R>2</R><Q>2</Q><INFOCOMPLEMENT>;b;</INFOCOMPLEMENT><S>2</S></ANNONCE>"
            "<ANNONCE><R>3</R><S>3</S></ANNONCE></CLIENT>");
}

TEST(SitAutoProTextRules, ClientCodeIsEscapedForItsAttribute) {
  const std::string text = "<COORDONNEESS EOF=\"True\" RecordName=\"COORDONNEES\"></COORDONNEESS>";
  EXPECT_EQ(feeds::ApplyLayoutRules(text, "A&B\"><x y=\""), "<CLIENT CODE=\"A&amp;B&quot;&gt;&lt;x y=&quot;\">");
}

// The document work of a run, on a loaded export, with the photo check off.
namespace {
struct RewriteFixture : testsupport::TRunFixture {
  xmldoc::IXMLCursorPtr doc = xmldoc::TXMLCursor::Create();
  void SetUp() override {
    StartRun("SITAUTOPRO", {.PathImages = windir / "photos", .URLImages = "http://photos.example/vo"});
  }
  std::string Rewrite(const std::string& body) {
    doc->LoadXML("<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?><document>" + body + "</document>");
    const std::string text = feeds::RewriteSitAutoProExport(feed, *doc);
    doc->LoadXML(text);  // the feed must be well-formed
    return text;
  }
  static std::string Links(const std::vector<std::pair<std::string, std::string>>& links) {
    std::string xml = "<LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">";
    for (const auto& [id, name] : links) {
      xml += "<LiensImages><idNVO>" + id + "</idNVO><NomImage>" + name + "</NomImage></LiensImages>";
    }
    return xml + "</LiensImagesS>";
  }
  static constexpr const char* kDataVOS = "<DataVOS EOF=\"False\" RecordName=\"DataVO\">";
};
}  // namespace

TEST_F(RewriteFixture, ClientCodeFromTheFirstCoordinates) {
  const std::string vehicles = std::string(kDataVOS) + "<DataVO><REFERENCE>1</REFERENCE></DataVO></DataVOS>";
  const std::pair<std::string, std::string> cases[] = {
      {"", "XXXXXX"},  // no record set at all
      {"<COORDONNEESS EOF=\"True\" RecordName=\"COORDONNEES\"></COORDONNEESS>", "XXXXXX"},
      {"<COORDONNEESS EOF=\"False\" RecordName=\"COORDONNEES\"><COORDONNEES><VILLE>Lyon</VILLE></COORDONNEES>"
       "</COORDONNEESS>", ""},
      {"<COORDONNEESS EOF=\"False\" RecordName=\"COORDONNEES\"><COORDONNEES><CODECLIENT>SA1</CODECLIENT></COORDONNEES>"
       "<COORDONNEES><CODECLIENT>SA2</CODECLIENT></COORDONNEES></COORDONNEESS>", "SA1"},
  };
  for (const auto& [coordinates, code] : cases) {
    const std::string text = Rewrite(coordinates + vehicles);
    EXPECT_EQ(text.find("<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>\n<CLIENT CODE=\"" + code + "\">"), 0u)
        << text;
    EXPECT_EQ(text.find("CODECLIENT"), std::string::npos);
  }
}

TEST_F(RewriteFixture, VehicleValuesAndPhotos) {
  std::vector<std::pair<std::string, std::string>> links;
  for (int k = 1; k <= 8; ++k) links.push_back({"0012", std::string("a") + std::to_string(k)});
  links.push_back({"7", "b1"});
  links.push_back({"99", "lost"});
  links.push_back({"12 or 1=1", "evil"});
  links.push_back({"7", "b2"});
  const std::string text = Rewrite(
      std::string(kDataVOS) +
      "<DataVO><REFERENCE>12</REFERENCE><MODELE>Série 3</MODELE><VERSION>Serie 3 320d</VERSION>"
      "<CATEGORIE>Coupé</CATEGORIE><GARANTIE>12 mois</GARANTIE><NB_PORTES>5 portes avec hayon</NB_PORTES>"
      "<COMMENTAIRE>Cœur, 9 900 € ✓</COMMENTAIRE>"
      "<EQUTINTERIEUR>;RadCD;</EQUTINTERIEUR><EQUTEXTERIEUR></EQUTEXTERIEUR><EQUTSECURITE>;ABS;</EQUTSECURITE>"
      "<INFOCOMPLEMENT></INFOCOMPLEMENT>"
      "<NOMPHOTO1></NOMPHOTO1><NOMPHOTO2></NOMPHOTO2><NOMPHOTO3></NOMPHOTO3><NOMPHOTO4></NOMPHOTO4>"
      "<NOMPHOTO5></NOMPHOTO5><NOMPHOTO6></NOMPHOTO6></DataVO>"
      // the export lacks four slots of this one, and has them out of order
      "<DataVO><REFERENCE>7</REFERENCE><NOMPHOTO6></NOMPHOTO6><NB_PORTES>3p</NB_PORTES><NOMPHOTO2>x</NOMPHOTO2>"
      "</DataVO></DataVOS>" +
      Links(links) + "<LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\"></LiensEquipementsS><Aliases/>");
  std::string photos;
  for (int k = 1; k <= 6; ++k) photos += "<PHOTO>http://photos.example/vo/a" + std::to_string(k) + ".jpg</PHOTO>";
  EXPECT_NE(text.find("<ANNONCE><REFERENCE>12</REFERENCE><MODELE>Série 3</MODELE><VERSION>320d</VERSION>"
                      "<CATEGORIE>11500</CATEGORIE><GARANTIE>12</GARANTIE><NB_PORTES>5</NB_PORTES>"
                      "<COMMENTAIRE>Cœur, 9 900 € ✓</COMMENTAIRE><PHOTOS>" + photos + "</PHOTOS>"
                      "<AUTO_RADIO>Radio CD</AUTO_RADIO><CLIMATISATION></CLIMATISATION>"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("<ANNONCE><REFERENCE>7</REFERENCE><PHOTOS><PHOTO>http://photos.example/vo/b1.jpg</PHOTO>"
                      "<PHOTO>x</PHOTO><PHOTO>http://photos.example/vo/b2.jpg</PHOTO></PHOTOS><NB_PORTES>3</NB_PORTES>"
                      "<CATEGORIE>11100</CATEGORIE><GARANTIE></GARANTIE><VERSION></VERSION><AUTO_RADIO></AUTO_RADIO>"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("<ABS>O</ABS>"), text.rfind("<ABS>O</ABS>"));
  for (const char* gone : {"EQUT", "INFOCOMPLEMENT", "Liens", "Aliases", "NOMPHOTO", "DataVO", "document", "evil", "lost"}) {
    EXPECT_EQ(text.find(gone), std::string::npos) << gone;
  }
  EXPECT_EQ(run.Counters.VehicleCount, 2);
  EXPECT_EQ(run.Counters.PhotoLinkCount, 12);
  EXPECT_EQ(window.Label1Text, "Image 12 : " + run.PathImages() + "\\b2m.jpg");  // every link synchronised
  // The working copy of the day holds the document after the photo rules.
  const std::string copy = testsupport::ReadFile(
      windir / ("TEMP/Annoncia/SitAutoPro-" + platform::FormatDateTime("yyyymmdd", platform::Now()) + ".xml"));
  EXPECT_NE(copy.find("<PHOTOS><PHOTO>http://photos.example/vo/a1.jpg</PHOTO>"), std::string::npos);
  EXPECT_NE(copy.find("<DataVOS"), std::string::npos);
}
