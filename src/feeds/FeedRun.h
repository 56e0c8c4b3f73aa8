// What a portal builder works with: run control (run option, settings,
// counters, log, window, the outcome of the upload) and the transfer layer
// (the photo check, the sessions to the photo and portal servers).
#pragma once

#include "shell/UnitAnnoncia.h"
#include "transfer/Transfers.h"

namespace feeds {

struct TFeedRun {
  shell::TRunControl& Run;
  transfer::TTransfers& Transfers;
};

}  // namespace feeds
