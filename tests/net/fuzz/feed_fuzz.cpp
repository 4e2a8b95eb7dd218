// libFuzzer entry for the feed reader: the first byte picks the state an
// earlier document leaves behind (a joint open or not, the key channel, the
// key count), the rest is the document, parsed twice on one reader (as two
// fetches in a row), then both listings.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "net/feed_reader.h"

namespace {

class NoTransport final : public vashel::HttpTransport {
 public:
  vashel::HttpResponse get(const std::string&, const vashel::HttpLimits&,
                           const std::atomic<bool>*) override {
    return {};
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static std::FILE* sink = std::fopen("/dev/null", "w");
  NoTransport transport;
  vashel::FeedReader reader(transport);
  const std::string document(reinterpret_cast<const char*>(data) + 1, size - 1);
  // The earlier document: a joint under the chosen channel, left open or closed.
  static const char* const kChannels[] = {"x",        "translatex", "translatey", "translatez",
                                          "rotatex",  "rotatey",    "rotatez",    "scalex",
                                          "scaley",   "scalez",     "translation",
                                          "jointorientation"};
  const std::string channel = kChannels[(data[0] / 2) % 12];
  const std::string joint = data[0] % 2 == 0 ? "Joint" : "joint";  // "Joint" stays open
  reader.openInternet();
  reader.buffer() = "<a><" + joint + " name=\"j\"><" + channel + " num=\"" +
                    std::to_string(data[0] / 24) + "\"/></" + joint + "></a>";
  reader.parse();
  for (int pass = 0; pass < 2; ++pass) {
    reader.openInternet();
    reader.buffer() = document;
    reader.parse();
  }
  if (sink != nullptr) {
    reader.dumpItems(sink);
    reader.dumpJointAnimation(sink);
  }
  return 0;
}
