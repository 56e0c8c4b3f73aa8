#include "feeds/FeedBuilders.h"

#include "feeds/LeBonCoinInfoPressFeed.h"
#include "feeds/TopAnnoncesFeed.h"

namespace feeds {

void RegisterFeedBuilders(shell::TFeedBuilderTable& table) {
  table.Register("TOPANNONCES", BuildTopAnnoncesFeed);
  table.Register("LEBONCOIN", [](shell::TRunControl& run) { BuildLeBonCoinInfoPressFeed(run, "LeBonCoin"); });
  table.Register("INFOPRESS", [](shell::TRunControl& run) { BuildLeBonCoinInfoPressFeed(run, "InfoPress"); });
}

}  // namespace feeds
