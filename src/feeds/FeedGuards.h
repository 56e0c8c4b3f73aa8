// Guards that keep a wrong or partial stock from a portal.
//
// A portal takes each feed as the dealer's whole stock: what a feed lacks is
// taken down. So an export of the wrong shape ends the run before anything
// is written, and a feed that lists no vehicle, or far fewer than the last
// feed sent, is built and saved (for the operator to look at) but held back:
// the run finishes with the HeldBack outcome and a last line that says why
// and how to send anyway.
//
// Settings of the portal's section: EnvoiStockVide (switch, default off:
// an empty feed is held back), SeuilBaisse (percent, default 50, 0 turns the
// check off: a feed below that share of the last feed sent is held back; in
// the window the operator is asked). The environment variable
// ANNONCIA_FORCER=1 sends a feed below the threshold anyway, for one run (an
// empty feed needs EnvoiStockVide). The count of the last feed
// sent is kept per portal in the work folder ("DernierEnvoi" + option +
// ".txt"), written only after a successful upload.
#pragma once

#include <string>

#include "shell/UnitAnnoncia.h"
#include "xmldoc/XMLCursor.h"

namespace feeds {

// Raises std::runtime_error naming the export, what was expected and what
// was found, unless the export's document element is <document> and holds
// the vehicle list <DataVOS>.
void CheckExportShape(const xmldoc::IXMLCursor& document, const std::string& exportPath);

// Whether the feed of Counters.VehicleCount vehicles may go to the portal;
// when not, the held-back outcome is recorded and its line logged.
bool FeedMayBeSent(shell::TRunControl& run);

// After the upload: keeps the vehicle count of a feed that was sent. A count
// that cannot be written is reported in the memo; the run stays sent.
void RememberSentCount(shell::TRunControl& run);

}  // namespace feeds
