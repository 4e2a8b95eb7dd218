// Feed and drop fetches off the main thread: one worker performs the requests
// in order with a reader of its own, and each result is applied to the scene,
// the action table and the feed items on the main thread, so the worker never
// touches what the player and the renderer read.
#pragma once

#include <QMimeData>
#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/app_state.h"
#include "app/ui.h"
#include "net/feed_items.h"
#include "net/feed_reader.h"
#include "platform/http_curl.h"

namespace vashel {

class FeedFetcher {
 public:
  // Lives on the main thread; `state` and `ui` outlive it.
  FeedFetcher(AppState& state, Ui& ui, const HttpLimits& limits = {});
  // Stops a request in progress and waits for the worker; results not yet
  // applied are dropped.
  ~FeedFetcher();

  // Queues a fetch. Feed: a failure shows its box, the random values apply.
  // Dropped: both dumps on standard output, failures are silent.
  void fetch(const std::string& url, FetchKind kind);

  // The items of the last document, for the player.
  FeedSource* items() { return &items_; }

  // Called on the main thread after each result was applied (tests wait on it).
  std::function<void(const FetchResult&)> applied;

 private:
  struct Job {
    std::string url;
    FetchKind kind;
  };
  void work();
  void apply(const FetchResult& result, FetchKind kind);

  AppState& state_;
  Ui& ui_;
  FeedItemList items_;
  CurlTransport transport_;
  FeedReader reader_;  // the worker's alone once it runs
  // Receives the results on the main thread; deleting it drops pending ones.
  std::unique_ptr<QObject> receiver_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  std::thread worker_;
};

// The URL text of a drop: the first link that is not a local file, or else
// the dropped text, trimmed. Nothing for files alone.
std::optional<std::string> droppedUrl(const QMimeData& data);

}  // namespace vashel
