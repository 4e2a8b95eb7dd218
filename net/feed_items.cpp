// The player's view of the last feed document.
#include "net/feed_items.h"

namespace vashel {

void FeedItemList::replace(std::vector<FeedItemText> items) {
  std::lock_guard lock(mutex_);
  items_ = std::move(items);
}

std::size_t FeedItemList::itemCount() const {
  std::lock_guard lock(mutex_);
  return items_.size();
}

std::optional<FeedItemText> FeedItemList::item(std::size_t index) const {
  std::lock_guard lock(mutex_);
  if (index >= items_.size()) return std::nullopt;
  return items_[index];
}

}  // namespace vashel
