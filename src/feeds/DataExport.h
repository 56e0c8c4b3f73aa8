// The data exports: where they are, and fast access to their tables.
//
// A data export ("ExpDatas" + portal + ".xml" in the work folder) holds the
// vehicles (/document/DataVOS/DataVO), the photo links
// (/document/LiensImagesS/LiensImages: idNVO, NomImage) and the equipment
// labels (/document/LiensEquipementsS/LiensEquipements: AbbrEquip,
// LibelleEquipement). The builders find a link's vehicle and a code's label
// through tables built once per run, never through one query per row.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "feeds/AdText.h"
#include "xmldoc/XMLCursor.h"

namespace feeds {

// The work folder (shell::WorkFolder()) + "\ExpDatas" + portal + ".xml".
std::string DataExportPath(const std::string& portal);
// The work folder + "\" + name.
std::string WorkFile(const std::string& name);

// The label table of the export's LiensEquipements rows.
TEquipmentLabels LoadEquipmentLabels(const xmldoc::IXMLCursor& document);

// The number an XPath 1.0 comparison sees in a text: optional blanks, an
// optional "-", digits with an optional decimal part, optional blanks.
// false for anything else (empty, "abc", "1e2").
bool ParseXPathNumber(const std::string& text, double& value);

// The vehicles of an export by their key field, answering what the query
// /document/DataVOS/DataVO[key=N] answers for a vehicle number N: the first
// vehicle, in document order, whose key has the same numeric value ("0123"
// matches 123). A number that is not plain digits (empty, "abc", "1 or 1=1",
// "-1") matches no vehicle, so data never becomes query syntax.
class TVehicleIndex {
public:
  TVehicleIndex(const xmldoc::IXMLCursor& document, const std::string& keyField);
  // The vehicle's position among the export's vehicles, or -1.
  std::int32_t Find(const std::string& number) const;
  // The index's one cursor over the vehicles, moved onto the vehicle at a
  // position Find gave (one cursor for all: a cursor per vehicle would cost
  // megabytes on a large export).
  xmldoc::IXMLCursor& Vehicle(std::int32_t position) const;
  // How many vehicles there are.
  std::int32_t Count() const { return rows_->Count(); }

private:
  xmldoc::IXMLCursorPtr rows_;
  std::unordered_map<double, std::int32_t> positions_;
};

}  // namespace feeds
