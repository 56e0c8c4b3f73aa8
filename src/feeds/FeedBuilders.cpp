#include "feeds/FeedBuilders.h"

#include "feeds/AutoScout24Feed.h"
#include "feeds/LeBonCoinInfoPressFeed.h"
#include "feeds/ParuVenduFeed.h"
#include "feeds/SitAutoProFeed.h"
#include "feeds/TopAnnoncesFeed.h"

namespace feeds {

void RegisterFeedBuilders(shell::TFeedBuilderTable& table) {
  table.Register("PARUVENDU", BuildParuVenduFeed);
  table.Register("AUTOSCOUT24", BuildAutoScout24Feed);
  table.Register("SITAUTOPRO", BuildSitAutoProFeed);
  table.Register("TOPANNONCES", BuildTopAnnoncesFeed);
  table.Register("LEBONCOIN", [](shell::TRunControl& run) { BuildLeBonCoinInfoPressFeed(run, "LeBonCoin"); });
  table.Register("INFOPRESS", [](shell::TRunControl& run) { BuildLeBonCoinInfoPressFeed(run, "InfoPress"); });
}

}  // namespace feeds
