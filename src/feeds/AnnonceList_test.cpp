#include <gtest/gtest.h>

#include "feeds/AnnonceList.h"

using feeds::RewriteAsAnnonceList;

TEST(RewriteAsAnnonceList, MakesTheListOfAnnonces) {
  const std::string text =
      "<?xml version=\"1.0\"?>\n<document><DataVOS EOF=\"False\" BOF=\"False\" RecordName=\"DataVO\">"
      "<DataVO><a>1</a></DataVO><datavo><a>2</a></datavo></DataVOS></document>\n";
  EXPECT_EQ(RewriteAsAnnonceList(text, "listepa"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>\n<listepa>"
            "<annonce><a>1</a></annonce><annonce><a>2</a></annonce></listepa>\n");
}

TEST(RewriteAsAnnonceList, AlwaysGivesALoadableLatin9Feed) {
  // A list without attributes, and a text without declaration.
  EXPECT_EQ(RewriteAsAnnonceList("<document><DataVOS><DataVO></DataVO></DataVOS></document>", "annonces"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>\n<annonces><annonce></annonce></annonces>");
}
