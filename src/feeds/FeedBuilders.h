// The option -> builder table of the program: every portal's builder is
// registered here, once, at start-up.
#pragma once

#include "shell/UnitAnnoncia.h"

namespace feeds {

void RegisterFeedBuilders(shell::TFeedBuilderTable& table);

}  // namespace feeds
