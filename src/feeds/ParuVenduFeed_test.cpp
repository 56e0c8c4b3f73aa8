#include <gtest/gtest.h>

#include "feeds/ParuVenduFeed.h"

TEST(RenameParuVenduTags, RenamesExactlyTheSlotAndNumberTagsIgnoringCase) {
  struct Case { const char* xml; const char* renamed; } cases[] = {
      {"<NomPhoto1></NomPhoto1><NomPhoto2>b</NomPhoto2>", "<Photo Num=\"1\"></Photo><Photo Num=\"2\">b</Photo>"},
      {"<NomPhoto5>e</NomPhoto5><NomPhoto6></NomPhoto6>", "<Photo Num=\"5\">e</Photo><Photo Num=\"6\"></Photo>"},
      {"<nomphoto3>c</NOMPHOTO3><NOMPHOTO4>d</nomPhoto4>", "<Photo Num=\"3\">c</Photo><Photo Num=\"4\">d</Photo>"},
      {"<idNVO>7</idNVO><IDNVO>8</idnvo>", "<id-VO>7</id-VO><id-VO>8</id-VO>"},
      {"<<NomPhoto1></NomPhoto1>>", "<<Photo Num=\"1\"></Photo>>"},
      // other tags, look-alikes and escaped text stay as they are
      {"<NomPhoto7></NomPhoto7><NomPhoto10>x</NomPhoto10>", "<NomPhoto7></NomPhoto7><NomPhoto10>x</NomPhoto10>"},
      {"<idNVOs>1</idNVOs><a>&lt;idNVO&gt;</a>", "<idNVOs>1</idNVOs><a>&lt;idNVO&gt;</a>"},
      {"<?xml version=\"1.0\"?>\n<d>Série é</d>\n", "<?xml version=\"1.0\"?>\n<d>Série é</d>\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(feeds::RenameParuVenduTags(c.xml), c.renamed) << c.xml;
}
