// glj fetch URL: fetches a feed or an animation-data document the way a drop
// on the character does, prints both listings, then the lines of the action
// rebuild (against an empty scene), so that authors can check a document
// before they publish it.
#include <cstdio>

#include "net/feed_reader.h"
#include "platform/http_curl.h"
#include "tools/glj/command.h"

namespace vashel::glj {
namespace {

int runFetch(const std::vector<std::string>& args) {
  if (args.size() != 1) return fail("usage: glj fetch URL");
  CurlTransport transport;
  FeedReader reader(transport);
  const FetchResult result = fetchDocument(reader, args[0], FetchKind::Dropped, stdout);
  std::fflush(stdout);
  switch (result.error) {
    case FetchResult::Error::Code:
      std::fprintf(stderr, "glj: fetch: error %u\n", static_cast<unsigned>(result.code));
      return 1;
    case FetchResult::Error::Other:
      return fail("fetch: " + result.what);
    case FetchResult::Error::None:
      break;
  }
  if (!result.definitions.empty()) {
    Scene scene;
    Player player;
    player.log = stdout;
    rebuildActions(player, scene, result.definitions);
  }
  return 0;
}

const GljCommand command("fetch", "URL", runFetch);

}  // namespace
}  // namespace vashel::glj
