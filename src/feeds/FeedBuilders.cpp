#include "feeds/FeedBuilders.h"

#include "feeds/AutoScout24Feed.h"
#include "feeds/ParuVenduFeed.h"
#include "feeds/SitAutoProFeed.h"

namespace feeds {

void RegisterFeedBuilders(shell::TFeedBuilderTable& table) {
  table.Register("PARUVENDU", BuildParuVenduFeed);
  table.Register("AUTOSCOUT24", BuildAutoScout24Feed);
  table.Register("SITAUTOPRO", BuildSitAutoProFeed);
}

}  // namespace feeds
