#include "feeds/FeedBuilders.h"

#include "feeds/SitAutoProFeed.h"

namespace feeds {

void RegisterFeedBuilders(shell::TFeedBuilderTable& table) {
  (void)table;
  table.Register("SITAUTOPRO", BuildSitAutoProFeed);
}

}  // namespace feeds
