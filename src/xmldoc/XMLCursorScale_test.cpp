// Cost of the cursor on large documents: the feed builders walk exports of
// 10,000 vehicles and 60,000 photo links and must stay linear.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "support/TestSupport.h"
#include "xmldoc/XMLCursor.h"

using xmldoc::IXMLCursorPtr;
using xmldoc::TXMLCursor;

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A data export shaped like the dealer's, about 2.3 KB per vehicle.
std::string GeneratedExport(int vehicles, int photosPerVehicle) {
  static const char* const kFields[] = {"Marque", "Modele", "Version", "Energie", "Carrosserie", "Couleur",
                                         "Kilometrage", "Prix", "Annee", "Garantie", "Portes", "Puissance",
                                         "Boite", "EqutInterieur", "EqutExterieur", "EqutSecurite",
                                         "InfoComplement", "Commentaire"};
  std::string text = "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n<document>\n"
                     "<DataVOS EOF=\"False\" RecordName=\"DataVO\">\n";
  for (int v = 0; v < vehicles; ++v) {
    text += "  <DataVO>\n    <idNVO>" + std::to_string(100000 + v) + "</idNVO>\n";
    for (const char* field : kFields) {
      const int repeat = std::string(field) == "Commentaire" ? 12 : 2;
      text += std::string("    <") + field + ">";
      for (int r = 0; r < repeat; ++r) text += std::string(field) + " valeur é " + std::to_string(v) + " ";
      text += std::string("</") + field + ">\n";
    }
    for (int p = 1; p <= 6; ++p) text += "    <NOMPHOTO" + std::to_string(p) + "/>\n";
    text += "  </DataVO>\n";
  }
  text += "</DataVOS>\n<LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">\n";
  for (int l = 0; l < vehicles * photosPerVehicle; ++l)
    text += "  <LiensImages>\n    <idNVO>" + std::to_string(100000 + l / photosPerVehicle) +
            "</idNVO>\n    <NomImage>photo_" + std::to_string(l) + "</NomImage>\n  </LiensImages>\n";
  text += "</LiensImagesS>\n<LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\">\n"
          "</LiensEquipementsS>\n<Aliases></Aliases>\n</document>\n";
  return text;
}

}  // namespace

// Live child lists, appends to one parent and deleting row after row must
// not walk the siblings again at each step: 100,000 of each would then take
// minutes instead of well under a second.
TEST(XMLCursorScale, LongChildListsStayLinear) {
  const int n = 100000;
  const auto start = std::chrono::steady_clock::now();

  IXMLCursorPtr doc = TXMLCursor::Create();
  doc->AppendChild("r", "");
  IXMLCursorPtr last;
  for (int i = 0; i < n; ++i) last = doc->AppendChild("c", std::to_string(i));
  EXPECT_EQ(last->CurrentIndex(), n - 1);

  IXMLCursorPtr children = doc->Select("*");
  long long sum = 0;
  for (; !children->Eof(); children->Next()) sum += std::stoll(children->GetValue("."));
  EXPECT_EQ(sum, static_cast<long long>(n) * (n - 1) / 2);

  IXMLCursorPtr rows = doc->Select("c");
  while (!rows->Eof()) rows->Delete();
  IXMLCursorPtr live = doc->Select("*");
  EXPECT_EQ(live->Count(), 0);

  for (int i = 0; i < n; ++i) doc->AddChild("d", "");
  for (live = doc->Select("*"); !live->Eof();) live->Delete();
  EXPECT_EQ(doc->XML(), "<r></r>\n");

  EXPECT_LT(SecondsSince(start), 10.0);
}

// The builders' whole pipeline on a 20 MB export. Run by hand:
//   xmldoc_tests --gtest_also_run_disabled_tests --gtest_filter='*TwentyMegabyte*'
TEST(XMLCursorScale, DISABLED_TwentyMegabyteExport) {
  testsupport::TTempDir dir;
  const std::string file = dir / "ExpDatasParuVendu.xml";
  testsupport::WriteFile(file, GeneratedExport(10000, 6));
  std::printf("export: %zu bytes\n", testsupport::ReadFile(file).size());

  auto start = std::chrono::steady_clock::now();
  IXMLCursorPtr doc = TXMLCursor::Create();
  doc->Load(file);
  std::printf("Load: %.3f s\n", SecondsSince(start));

  start = std::chrono::steady_clock::now();
  std::unordered_map<std::string, IXMLCursorPtr> index;
  for (IXMLCursorPtr v = doc->Select("/document/DataVOS/DataVO"); !v->Eof(); v->Next()) {
    v->SetValue("Modele", v->GetValue("Modele") + " " + v->GetValue("Marque"));
    index.emplace(v->GetValue("idNVO"), v->Select("."));
  }
  std::printf("vehicle pass (10,000, index built): %.3f s\n", SecondsSince(start));

  start = std::chrono::steady_clock::now();
  int linked = 0;
  for (IXMLCursorPtr link = doc->Select("/document/LiensImagesS/LiensImages"); !link->Eof(); link->Next()) {
    auto found = index.find(link->GetValue("idNVO"));
    if (found == index.end()) continue;
    for (int slot = 1; slot <= 6; ++slot) {
      const std::string name = "NOMPHOTO" + std::to_string(slot);
      if (found->second->GetValue(name).empty()) {
        found->second->SetValue(name, "http://photos.example/" + link->GetValue("NomImage") + ".jpg");
        ++linked;
        break;
      }
    }
  }
  EXPECT_EQ(linked, 60000);
  std::printf("photo pass (60,000 links): %.3f s\n", SecondsSince(start));

  start = std::chrono::steady_clock::now();
  for (const char* path : {"/document/LiensImagesS", "/document/LiensEquipementsS", "/document/Aliases"})
    doc->Select(path)->Delete();
  std::printf("deletes: %.3f s\n", SecondsSince(start));

  start = std::chrono::steady_clock::now();
  const std::string text = doc->XML();
  std::printf("XML: %.3f s (%zu bytes)\n", SecondsSince(start), text.size());
  start = std::chrono::steady_clock::now();
  doc->LoadXML(text);
  std::printf("LoadXML: %.3f s\n", SecondsSince(start));
  start = std::chrono::steady_clock::now();
  doc->Save(dir / "feed.xml");
  std::printf("Save: %.3f s\n", SecondsSince(start));

  index.clear();
  start = std::chrono::steady_clock::now();
  IXMLCursorPtr again = TXMLCursor::Create();
  again->Load(file);
  const std::string whole = again->XML();
  std::printf("Load + XML of the export: %.3f s\n", SecondsSince(start));

  const auto lint = testsupport::RunProcess("/usr/bin/xmllint", {"--timing", "--noout", file});
  std::printf("xmllint --timing --noout:\n%s", lint.Err.c_str());
  const auto save = testsupport::RunProcess("/usr/bin/xmllint", {"--timing", "--output", dir / "lint.xml", file});
  std::printf("xmllint --timing --output:\n%s", save.Err.c_str());
}
