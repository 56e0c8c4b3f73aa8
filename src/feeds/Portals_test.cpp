#include "feeds/Portals.h"

#include <gtest/gtest.h>

// The six portals in the order their options are compared and listed, each
// with a builder and a default account of the form its portal expects.
TEST(Portals, SixPortalsInTheirOrderWithTheirDefaults) {
  shell::TPortalTable table;
  feeds::RegisterPortals(table);
  struct Expected { const char* option; const char* name; std::size_t passwordLength; };
  const Expected expected[] = {
      {"PARUVENDU", "ParuVendu", 10}, {"AUTOSCOUT24", "AutoScout24", 8}, {"SITAUTOPRO", "SitAutoPro", 8},
      {"TOPANNONCES", "TopAnnonces", 11}, {"LEBONCOIN", "LeBonCoin", 0}, {"INFOPRESS", "InfoPress", 0},
  };
  ASSERT_EQ(table.All().size(), std::size(expected));
  for (std::size_t k = 0; k < std::size(expected); ++k) {
    const shell::TPortal& portal = table.All()[k];
    EXPECT_EQ(portal.Option, expected[k].option);
    EXPECT_EQ(portal.DisplayName, expected[k].name);
    EXPECT_EQ(portal.DefaultPassWord.size(), expected[k].passwordLength) << portal.Option;
    // Without a user LeBonCoin and InfoPress send nothing.
    EXPECT_EQ(portal.DefaultUser.empty(), expected[k].passwordLength == 0) << portal.Option;
    EXPECT_TRUE(portal.Build) << portal.Option;
  }
  EXPECT_EQ(table.Find("AUTOSCOUT24")->DefaultUser, "pf0123456789@upload.autoscout24.example");
}
