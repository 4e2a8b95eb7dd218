// A transport that answers from the test, a recorder of message boxes, and
// what a function printed on a FILE*.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "net/feed_reader.h"

namespace vashel::testing {

class FakeTransport final : public HttpTransport {
 public:
  HttpResponse get(const std::string& url, const HttpLimits&, const std::atomic<bool>*) override {
    urls.push_back(url);
    return response;
  }
  HttpResponse response{HttpFailure::None, 200, "", false, ""};
  std::vector<std::string> urls;
};

class RecordedBoxes final : public FetchErrorBoxes {
 public:
  void errorBox(std::string_view caption, std::string_view text) override {
    boxes.push_back(std::string(caption) + "|" + std::string(text));
  }
  std::vector<std::string> boxes;
};

class CapturedFile {
 public:
  ~CapturedFile() { std::fclose(file_); }
  std::FILE* get() { return file_; }
  std::string text() {
    std::string all(static_cast<std::size_t>(std::ftell(file_)), '\0');
    std::rewind(file_);
    all.resize(std::fread(all.data(), 1, all.size(), file_));
    return all;
  }

 private:
  std::FILE* file_ = std::tmpfile();
};

// Parses `document` as if it had just been fetched.
inline void parseDocument(FeedReader& reader, const std::string& document) {
  reader.openInternet();
  reader.buffer() = document;
  reader.parse();
}

}  // namespace vashel::testing
