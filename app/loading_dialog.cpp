// The loading-progress dialog and the worker thread it waits for.
#include "app/loading_dialog.h"

#include <QDialog>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <thread>

namespace vashel {
namespace {

// A 198 × 15 dialog-unit window holding only the bar, in pixels of the
// usual dialog font (1.5 px per horizontal unit, 1.625 px per vertical one).
constexpr int kDialogWidth = 297;
constexpr int kDialogHeight = 24;
constexpr int kBarTop = 2;
constexpr int kPollMs = 100;

class LoadingDialog final : public QDialog {
 public:
  LoadingDialog(const std::string& title, std::atomic<int>& progress, std::atomic<int>& state,
                const std::atomic<bool>& workDone)
      : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
        progress_(progress),
        state_(state),
        workDone_(workDone) {
    setWindowTitle(QString::fromStdString(title));
    setFixedSize(kDialogWidth, kDialogHeight);
    // Closing the dialog must not end the application that is starting up.
    setAttribute(Qt::WA_QuitOnClose, false);
    bar_ = new QProgressBar(this);
    bar_->setGeometry(0, kBarTop, kDialogWidth, kDialogHeight - kBarTop);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->geometry();
      move(area.x() + (area.width() - kDialogWidth) / 2,
           area.y() + (area.height() - kDialogHeight) / 2);
    }
    connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_.start(kPollMs);
  }

  // Escape and the window's close request do nothing: the dialog ends with
  // the loading, not before.
  void reject() override {}

 private:
  void poll() {
    bar_->setValue(std::clamp(progress_.load(), 0, 100));
    if (state_.load() < 0 || workDone_.load()) done(0);
  }

  std::atomic<int>& progress_;
  std::atomic<int>& state_;
  const std::atomic<bool>& workDone_;
  QProgressBar* bar_ = nullptr;
  QTimer timer_;
};

}  // namespace

void runLoadingDialog(std::atomic<int>& progress, std::atomic<int>& state,
                      std::function<void()> work, const std::string& title, std::FILE* out) {
  std::atomic<bool> workDone{false};
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      if (work) work();
    } catch (...) {
      failure = std::current_exception();
    }
    workDone.store(true);
  });
  {
    LoadingDialog dialog(title, progress, state, workDone);
    std::fprintf(out, "スタートアップダイアログ, ww=%d, hh=%d\n", dialog.width(), dialog.height());
    dialog.exec();
  }
  std::fputs("続きです\n", out);
  std::fflush(out);
  if (!workDone.load()) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
      if (workDone.load()) loop.quit();
    });
    check.start(10);
    loop.exec();
  }
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace vashel
