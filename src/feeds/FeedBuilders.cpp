#include "feeds/FeedBuilders.h"

#include "feeds/ParuVenduFeed.h"

namespace feeds {

void RegisterFeedBuilders(shell::TFeedBuilderTable& table) {
  table.Register("PARUVENDU", BuildParuVenduFeed);
}

}  // namespace feeds
