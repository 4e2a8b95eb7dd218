// The feed items the player shows in the balloon, replaced as a whole by each
// fetch; readable and replaceable from any thread.
#pragma once

#include <mutex>
#include <vector>

#include "anim/player.h"

namespace vashel {

class FeedItemList final : public FeedSource {
 public:
  void replace(std::vector<FeedItemText> items);
  std::size_t itemCount() const override;
  std::optional<FeedItemText> item(std::size_t index) const override;

 private:
  mutable std::mutex mutex_;
  std::vector<FeedItemText> items_;
};

}  // namespace vashel
