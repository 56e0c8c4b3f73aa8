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

TVehicleIndex::TVehicleIndex(const xmldoc::IXMLCursor& document, const std::string& keyField)
    : rows_(document.Select("/document/DataVOS/DataVO")) {
  positions_.reserve(static_cast<std::size_t>(rows_->Count()));
  for (rows_->First(); !rows_->Eof(); rows_->Next()) {
    double key;
    if (ParseXPathNumber(rows_->GetValue(keyField), key)) positions_.emplace(key, rows_->CurrentIndex());
  }
}

std::int32_t TVehicleIndex::Find(const std::string& number) const {
  if (number.empty()) return -1;
  for (const char c : number) {
    if (!IsDigit(c)) return -1;
  }
  double key;
  if (!ParseXPathNumber(number, key)) return -1;
  const auto it = positions_.find(key);
  return it == positions_.end() ? -1 : it->second;
}

xmldoc::IXMLCursor& TVehicleIndex::Vehicle(std::int32_t position) const {
  rows_->MoveTo(position);
  return *rows_;
}

}  // namespace feeds
