// A transport that answers from the test, and a recorder of message boxes.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "net/feed_reader.h"
#include "platform/http.h"

namespace vashel::testing {

class FakeTransport final : public HttpTransport {
 public:
  HttpResponse get(const std::string& url, const HttpLimits&, const std::atomic<bool>*) override {
    urls.push_back(url);
    return response;
  }
  HttpResponse response;
  std::vector<std::string> urls;
};

class RecordedBoxes final : public FetchErrorBoxes {
 public:
  void errorBox(std::string_view caption, std::string_view text) override {
    boxes.emplace_back(caption, text);
  }
  std::vector<std::pair<std::string, std::string>> boxes;
};

// Parses `document` as if it had just been fetched.
inline void parseDocument(FeedReader& reader, const std::string& document) {
  reader.openInternet();
  reader.buffer() = document;
  reader.parse();
}

}  // namespace vashel::testing
