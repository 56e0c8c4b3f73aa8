// The portals of the program: one descriptor per portal, with its builder,
// registered once at start-up. Adding a portal is a builder of its own
// (one file pair in this folder) and one entry here.
#pragma once

#include "shell/PortalTable.h"

namespace feeds {

// Registers the six portals, in their order of comparison: ParuVendu,
// AutoScout24, SitAutoPro, TopAnnonces, LeBonCoin, InfoPress.
void RegisterPortals(shell::TPortalTable& table);

}  // namespace feeds
