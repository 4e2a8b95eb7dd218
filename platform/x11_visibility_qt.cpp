// Visibility reports (VisibilityNotify) for one window, over an X connection
// of our own: event selections belong to each client, so Qt, which resets
// its own selection on the window whenever its flags change, never drops
// ours.
#include "platform/x11_visibility.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

namespace vashel {

struct CoverWatch::Impl {
  explicit Impl(std::function<void(bool)> changed) : changed(std::move(changed)) {}
  ~Impl() {
    notifier.reset();
    if (connection) xcb_disconnect(connection);
  }

  bool connect() {
    if (connection) return !xcb_connection_has_error(connection);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
    connection = xcb_connect(nullptr, nullptr);  // the display Qt uses: $DISPLAY
    if (xcb_connection_has_error(connection)) return false;
    notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection),
                                                 QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    return true;
  }

  void readEvents() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
      if ((event->response_type & 0x7f) == XCB_VISIBILITY_NOTIFY) {
        const auto* visibility = reinterpret_cast<const xcb_visibility_notify_event_t*>(event);
        if (visibility->window == window) report(visibility->state == XCB_VISIBILITY_FULLY_OBSCURED);
      }
      std::free(event);
    }
    // A broken connection would wake us forever.
    if (xcb_connection_has_error(connection)) notifier->setEnabled(false);
  }

  void report(bool now) {
    if (now == covered) return;
    covered = now;
    changed(now);
  }

  std::function<void(bool)> changed;
  xcb_connection_t* connection = nullptr;
  std::unique_ptr<QSocketNotifier> notifier;
  xcb_window_t window = 0;
  bool covered = false;
};

CoverWatch::CoverWatch(std::function<void(bool covered)> changed)
    : impl_(std::make_unique<Impl>(std::move(changed))) {}

CoverWatch::~CoverWatch() = default;

void CoverWatch::watch(QWidget& window) {
  const QWindow* handle = window.windowHandle();
  if (handle == nullptr || !impl_->connect()) return;
  const auto id = static_cast<xcb_window_t>(handle->winId());
  if (id == impl_->window) return;
  impl_->window = id;
  impl_->report(false);  // a new X window starts out unreported
  const std::uint32_t mask = XCB_EVENT_MASK_VISIBILITY_CHANGE;
  xcb_change_window_attributes(impl_->connection, id, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(impl_->connection);
}

}  // namespace vashel
