// The ParuVendu feed: the data export ExpDatasParuVendu.xml rewritten into the
// XML file the portal takes in, sent as it is (no archive).
//
// The builder strips the make from each model text, optionally turns the
// equipment code lists into labels (FlgInfoEquip), writes up to six photo
// links per vehicle into its empty NomPhoto slots while bringing every linked
// photo onto the photo server, drops the lookup sections, renames the slot
// and vehicle number tags, and saves the feed twice in the work folder:
// yyyymmddhhnn.xml (a copy to keep) and RovelleDatasVO-yyyymmdd.xml (the file
// sent). Errors of the cursor, of files and of the activity log end the run;
// FTP failures only change the last log line (and the exit status).
#pragma once

#include <string>

#include "feeds/FeedRun.h"

namespace feeds {

void BuildParuVenduFeed(TFeedRun& feed);

// The serialised document with the portal's tag names: NomPhoto1..6 become
// <Photo Num="n">..</Photo>, idNVO becomes id-VO (tags matched ignoring case).
std::string RenameParuVenduTags(const std::string& xml);

}  // namespace feeds
