// The AutoScout24 feed: a semicolon-separated text file, one line of 92
// values per vehicle, packed with every vehicle photo into the archive
// idClient + ".zip" that goes to the portal.
//
// The run stages everything in the folder Windir + PathTemp (the staging
// folder), emptied first and left filled at the end: the photos
// (idNVO_n.jpg, see transfer/AutoScout24Photos.h) and the CSV file
// idClient + ".csv", written once, in Windows-1252, from one buffer. The data
// export itself is not changed, only saved under a time-stamped name. Errors
// of the cursor, the packager and the log end the run, and so does a failure
// to purge the staging folder, to stage a photo (other than one missing
// locally) or to write the CSV, before anything is packed; a failed upload
// does not. A staging folder that would reach the work folder or the photo
// folder is refused before anything is deleted (CheckStagingFolder).
//
// The previous run's staging folder is emptied by setting it aside
// (SetStagingAside) and deleting it once the archive is packed, not by
// deleting it first: on a file system that has just freed tens of thousands
// of inodes, each new file is slow to create for a while, and the run
// creates one per photo where photos are copied rather than linked. The
// data export's document is let go once saved, before the packing.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "feeds/FeedRun.h"
#include "xmldoc/XMLCursor.h"

namespace feeds {

void BuildAutoScout24Feed(TFeedRun& feed);

// The photo names (NomImage) of each vehicle, in document order, from the
// export's LiensImages rows, compared by the numeric value of their idNVO as
// the query LiensImages[idNVO=N] would. A vehicle number that is not plain
// digits has no photos, so data never becomes query syntax.
class TPhotoLinks {
public:
  explicit TPhotoLinks(const xmldoc::IXMLCursor& document);
  const std::vector<std::string>& Of(const std::string& idNVO) const;

private:
  std::unordered_map<double, std::vector<std::string>> links_;
};

// csv + value + ";": values are written as they stand, nothing is escaped,
// except that CR, LF and NUL become blanks (they would split the line).
void AppendCsvField(std::string& csv, const std::string& value);

// Appends the vehicle's line: its 92 values and CR LF. Column 3 names the
// first staged photo when the vehicle has photos.
void AppendAutoScout24Line(std::string& csv, const std::string& idClient, const xmldoc::IXMLCursor& vehicle,
                           bool hasPhotos);

// Column 14: MoisMEC + "." + AnneeMEC, with a "0" in front when shorter
// than 7 characters ("3.2007" -> "03.2007").
std::string FirstRegistrationColumn(const std::string& month, const std::string& year);
// Columns 17 and 29: the text read as a decimal integer (an optional sign
// and digits, within 32 bits), written back in decimal; "0" for any other
// text ("05" -> "5", "5 portes" -> "0").
std::string IntegerColumn(const std::string& text);

// Refuses, before anything is deleted, a staging folder that is a file, is
// not strictly inside the Windows folder, or is, holds or lies inside one of
// the kept folders, comparing real folders (links and ".." resolved). The
// error names the staging folder and why.
void CheckStagingFolder(const std::string& stagingFolder, const std::string& windowsFolder,
                        const std::vector<std::string>& keptFolders);

// The name the previous run's staging folder is set aside under: the staging
// folder's own name + ".precedent", beside it.
std::string StagingAsideFolder(const std::string& stagingFolder);

// Empties the way for a new staging folder: deletes what a stopped run left
// at StagingAsideFolder, then renames the staging folder (or the link of that
// name) there and gives that name, for the caller to delete with PurgeFolder
// once it is done; gives "" when there was no staging folder. The aside
// folder is checked as the staging folder is. When the aside name holds a
// file, or the rename fails otherwise, the staging folder is purged in place
// and "" is given.
std::string SetStagingAside(const std::string& stagingFolder, const std::string& windowsFolder,
                            const std::vector<std::string>& keptFolders);

}  // namespace feeds
