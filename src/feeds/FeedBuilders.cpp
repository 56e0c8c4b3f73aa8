#include "feeds/FeedBuilders.h"

namespace feeds {

void RegisterFeedBuilders(shell::TFeedBuilderTable& table) {
  (void)table;
}

}  // namespace feeds
