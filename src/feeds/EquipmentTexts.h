// The equipment and warranty parts of an ad text, as the TopAnnonces and the
// LeBonCoin/InfoPress feeds write them: each equipment list of a vehicle
// turned into its labels, and the complementary list turned into labels with
// the warranty spelt out.
#pragma once

#include <string>

#include "feeds/AdText.h"
#include "xmldoc/XMLCursor.h"

namespace feeds {

// Titles the builders put before the labels of each list.
inline constexpr const char* kInteriorTitle = "Equipements Intérieurs : ";
inline constexpr const char* kExteriorTitle = "Equipements Extérieurs : ";
inline constexpr const char* kSafetyTitle = "Equipements Sécurité : ";

struct TEquipmentTexts {
  std::string Interior;  // labels of EqutInterieur, ", "-separated; empty for an empty list
  std::string Exterior;  // labels of EqutExterieur
  std::string Safety;    // labels of EqutSecurite
  std::string Warranty;  // labels of InfoComplement, with the warranty (WarrantyLabels)
};

// The labels of InfoComplement. A vehicle with a warranty text gets the
// warranty code ";Gar;" added at the end of its list when the list lacks it
// (exact case; no empty code between the two), and every "Sous Garantie" of the labels (any case) becomes
// "Garantie : " + the warranty text as it stands.
std::string WarrantyLabels(const TEquipmentLabels& labels, const std::string& infoComplement,
                           const std::string& garantie);

// The four label texts of the vehicle under the cursor, from its
// EqutInterieur, EqutExterieur, EqutSecurite, InfoComplement and Garantie.
TEquipmentTexts ComposeEquipmentTexts(const TEquipmentLabels& labels, const xmldoc::IXMLCursor& vehicle);

}  // namespace feeds
