#include "feeds/FeedBuilders.h"

#include "feeds/AutoScout24Feed.h"

namespace feeds {

void RegisterFeedBuilders(shell::TFeedBuilderTable& table) {
  table.Register("AUTOSCOUT24", BuildAutoScout24Feed);
}

}  // namespace feeds
