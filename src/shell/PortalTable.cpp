#include "shell/PortalTable.h"

#include <stdexcept>

namespace shell {
namespace {
bool IsUpperCaseWord(const std::string& option) {
  if (option.empty()) return false;
  for (const char c : option) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}
}  // namespace

void TPortalTable::Register(TPortal portal) {
  if (!IsUpperCaseWord(portal.Option)) throw std::invalid_argument("portal option not upper case: " + portal.Option);
  if (!portal.Build) throw std::invalid_argument("portal without builder: " + portal.Option);
  if (Find(portal.Option)) throw std::invalid_argument("portal registered twice: " + portal.Option);
  portals_.push_back(std::move(portal));
}

const TPortal* TPortalTable::Find(const std::string& option) const {
  for (const TPortal& portal : portals_) {
    if (portal.Option == option) return &portal;
  }
  return nullptr;
}

}  // namespace shell
