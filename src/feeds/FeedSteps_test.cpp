#include <gtest/gtest.h>

#include "feeds/FeedSteps.h"
#include "support/RunFixture.h"

namespace {
struct StepsFixture : testsupport::TRunFixture {
  xmldoc::IXMLCursorPtr doc = xmldoc::TXMLCursor::Create();
  void SetUp() override {
    StartRun("PARUVENDU", {.PathImages = windir / "photos", .URLImages = "http://photos.example/vo"});
  }
  std::string Links(const std::vector<std::pair<std::string, std::string>>& links) {
    std::string xml = "<LiensImagesS>";
    for (const auto& [id, name] : links) xml += "<LiensImages><idNVO>" + id + "</idNVO><NomImage>" + name + "</NomImage></LiensImages>";
    return xml + "</LiensImagesS>";
  }
};
}  // namespace

TEST_F(StepsFixture, PhotoPassFillsFreeSlotsInLinkOrder) {
  std::vector<std::pair<std::string, std::string>> links;
  for (int k = 1; k <= 8; ++k) links.push_back({"1", std::string("a") + std::to_string(k)});
  links.push_back({"2", "b1"});
  links.push_back({"2", "b2"});
  links.push_back({"99", "lost"});
  links.push_back({"1 or 1=1", "evil"});
  doc->LoadXML("<document><DataVOS>"
               "<DataVO><idNVO>1</idNVO><NomPhoto1></NomPhoto1><NomPhoto2></NomPhoto2><NomPhoto3></NomPhoto3>"
               "<NomPhoto4></NomPhoto4><NomPhoto5></NomPhoto5><NomPhoto6></NomPhoto6></DataVO>"
               "<DataVO><idNVO>2</idNVO><NomPhoto1></NomPhoto1><NomPhoto2>kept</NomPhoto2><x>y</x></DataVO>"
               "</DataVOS>" + Links(links) + "</document>");
  feeds::RunPhotoPass(feed, *doc, "idNVO", "NomPhoto");
  auto v1 = doc->Select("/document/DataVOS/DataVO[1]");
  for (int k = 1; k <= 6; ++k) {
    EXPECT_EQ(v1->GetValue("NomPhoto" + std::to_string(k)), "http://photos.example/vo/a" + std::to_string(k) + ".jpg");
  }
  auto v2 = doc->Select("/document/DataVOS/DataVO[2]");
  EXPECT_EQ(v2->GetValue("NomPhoto1"), "http://photos.example/vo/b1.jpg");
  EXPECT_EQ(v2->GetValue("NomPhoto2"), "kept");
  EXPECT_EQ(v2->GetValue("NomPhoto3"), "http://photos.example/vo/b2.jpg");
  EXPECT_EQ(v2->XML().find("<x>y</x><NomPhoto3>"), v2->XML().find("<x>y</x>"));  // created at the end
  EXPECT_EQ(run.Counters.PhotoLinkCount, 12);
  EXPECT_EQ(window.ProcessMessagesCalls, 12);
  EXPECT_EQ(window.Label1Text, "Image 12 : " + run.PathImages() + "\\evilm.jpg");  // every link synchronised
  EXPECT_EQ(doc->XML().find("evil"), doc->XML().rfind("evil"));  // only in its own link row
}

TEST_F(StepsFixture, GroupPhotoSlotsPutsTheSixTogetherWhereTheFirstStood) {
  doc->LoadXML("<document><DataVOS><DataVO><x>1</x><photo2>p</photo2><y>2</y><photo1>q</photo1></DataVO>"
               "<DataVO><z>3</z></DataVO></DataVOS></document>");
  for (auto vehicle = doc->Select("/document/DataVOS/DataVO"); !vehicle->Eof(); vehicle->Next()) {
    feeds::GroupPhotoSlots(*vehicle, "photo");
  }
  EXPECT_EQ(doc->XML(),
            "<document><DataVOS><DataVO><x>1</x><photo1>q</photo1><photo2>p</photo2><photo3></photo3><photo4></photo4>"
            "<photo5></photo5><photo6></photo6><y>2</y></DataVO>"
            "<DataVO><z>3</z><photo1></photo1><photo2></photo2><photo3></photo3><photo4></photo4><photo5></photo5>"
            "<photo6></photo6></DataVO></DataVOS></document>\n");
}

TEST_F(StepsFixture, RemovesLookupSectionsThatArePresent) {
  doc->LoadXML("<document><DataVOS/><LiensImagesS/><Aliases/></document>");
  feeds::RemoveLookupSections(run, *doc);
  EXPECT_EQ(doc->XML(), "<document><DataVOS></DataVOS></document>\n");
  ASSERT_EQ(window.Memo.size(), 4u);
  EXPECT_NE(window.Memo[1].find("Avant Suppression LiensEquipements"), std::string::npos);
  EXPECT_NE(window.Memo[3].find("Après Aliases"), std::string::npos);
}
