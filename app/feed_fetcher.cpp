// The fetch worker and the hand-over of its results to the main thread.
#include "app/feed_fetcher.h"

#include <QUrl>

namespace vashel {
namespace {

class UiBoxes final : public FetchErrorBoxes {
 public:
  explicit UiBoxes(Ui& ui) : ui_(ui) {}
  void errorBox(std::string_view caption, std::string_view text) override {
    ui_.messageBox(caption, text);  // no owner, OK only
  }

 private:
  Ui& ui_;
};

}  // namespace

FeedFetcher::FeedFetcher(AppState& state, Ui& ui, const HttpLimits& limits)
    : state_(state), ui_(ui), reader_(transport_), receiver_(std::make_unique<QObject>()) {
  reader_.limits() = limits;
  worker_ = std::thread([this] { work(); });
}

FeedFetcher::~FeedFetcher() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  reader_.cancel();
  wake_.notify_all();
  worker_.join();
  receiver_.reset();
}

void FeedFetcher::fetch(const std::string& url, FetchKind kind) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back({url, kind});
  }
  wake_.notify_one();
}

void FeedFetcher::work() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    auto result = std::make_shared<FetchResult>(fetchDocument(reader_, job.url, job.kind));
    std::fflush(stdout);
    const FetchKind kind = job.kind;
    QMetaObject::invokeMethod(
        receiver_.get(), [this, result, kind] { apply(*result, kind); }, Qt::QueuedConnection);
  }
}

void FeedFetcher::apply(const FetchResult& result, FetchKind kind) {
  if (kind == FetchKind::Feed) {
    UiBoxes boxes(ui_);
    showFetchError(result, boxes);
  }
  FetchTarget target{&state_.scene, &state_.player, &items_, stderr};
  applyFetchResult(result, target, kind == FetchKind::Feed);
  std::fflush(stdout);
  if (applied) applied(result);
}

std::optional<std::string> droppedUrl(const QMimeData& data) {
  // Qt offers a list of links as text too: look at the links themselves.
  if (data.hasUrls()) {
    for (const QUrl& url : data.urls()) {
      if (!url.isLocalFile()) return url.toString().toStdString();
    }
    return std::nullopt;
  }
  if (data.hasText()) {
    const QString text = data.text().trimmed();
    if (!text.isEmpty()) return text.toStdString();
  }
  return std::nullopt;
}

}  // namespace vashel
