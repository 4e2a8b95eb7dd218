// The once-only notice of a feature that is not built yet.
#include "app/not_built.h"

namespace vashel {

void NotBuiltNotice::report(std::string_view feature) {
  if (!reported_.emplace(feature).second) return;
  std::fprintf(err_, "%.*s: not built yet\n", static_cast<int>(feature.size()), feature.data());
  std::fflush(err_);
}

}  // namespace vashel
