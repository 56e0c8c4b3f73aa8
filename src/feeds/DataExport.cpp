#include "feeds/DataExport.h"

#include "shell/RunFolders.h"

namespace feeds {

std::string DataExportPath(const std::string& portal) { return WorkFile("ExpDatas" + portal + ".xml"); }

std::string WorkFile(const std::string& name) { return shell::WorkFolder() + "\\" + name; }

TEquipmentLabels LoadEquipmentLabels(const xmldoc::IXMLCursor& document) {
  TEquipmentLabels labels;
  for (auto row = document.Select("/document/LiensEquipementsS/LiensEquipements"); !row->Eof(); row->Next()) {
    labels.Add(row->GetValue("AbbrEquip"), row->GetValue("LibelleEquipement"));
  }
  return labels;
}

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool ParseXPathNumber(const std::string& text, double& value) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  const std::size_t begin = i;
  if (i < n && text[i] == '-') ++i;
  std::size_t digits = 0;
  while (i < n && IsDigit(text[i])) { ++i; ++digits; }
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) { ++i; ++digits; }
  }
  const std::size_t end = i;
  while (i < n && IsBlank(text[i])) ++i;
  if (digits == 0 || i != n) return false;
  value = std::stod(text.substr(begin, end - begin));
  return true;
}

TVehicleIndex::TVehicleIndex(const xmldoc::IXMLCursor& document, const std::string& keyField) {
  for (auto vehicle = document.Select("/document/DataVOS/DataVO"); !vehicle->Eof(); vehicle->Next()) {
    double key;
    if (ParseXPathNumber(vehicle->GetValue(keyField), key)) vehicles_.emplace(key, vehicle->Select("."));
  }
}

xmldoc::IXMLCursorPtr TVehicleIndex::Find(const std::string& number) const {
  if (number.empty()) return nullptr;
  for (const char c : number) {
    if (!IsDigit(c)) return nullptr;
  }
  double key;
  if (!ParseXPathNumber(number, key)) return nullptr;
  const auto it = vehicles_.find(key);
  return it == vehicles_.end() ? nullptr : it->second;
}

}  // namespace feeds
