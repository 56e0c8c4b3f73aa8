#include "feeds/EquipmentTexts.h"

#include "platform/Ansi.h"

namespace feeds {

std::string WarrantyLabels(const TEquipmentLabels& labels, const std::string& infoComplement,
                           const std::string& garantie) {
  std::string list = infoComplement;
  if (!garantie.empty() && list.find(";Gar;") == std::string::npos) {
    // A list already closed by ";" takes the code without a second ";",
    // which would stand for an empty label (", , ") in the text.
    list += list.ends_with(';') ? "Gar;" : ";Gar;";
  }
  return platform::ReplaceAllText(ExpandEquipmentCodes(labels, list), "Sous Garantie", "Garantie : " + garantie);
}

TEquipmentTexts ComposeEquipmentTexts(const TEquipmentLabels& labels, const xmldoc::IXMLCursor& vehicle) {
  return {ExpandEquipmentCodes(labels, vehicle.GetValue("EqutInterieur")),
          ExpandEquipmentCodes(labels, vehicle.GetValue("EqutExterieur")),
          ExpandEquipmentCodes(labels, vehicle.GetValue("EqutSecurite")),
          WarrantyLabels(labels, vehicle.GetValue("InfoComplement"), vehicle.GetValue("Garantie"))};
}

}  // namespace feeds
