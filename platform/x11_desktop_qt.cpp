// X11 queries for the character's window, over Qt's own xcb connection.
#include "platform/x11_desktop.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace vashel {
namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_connection_t* xcbConnection() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

// XCB_ATOM_NONE when the atom does not exist and `create` is false.
xcb_atom_t atom(xcb_connection_t* c, const char* name, bool create) {
  const auto cookie =
      xcb_intern_atom(c, create ? 0 : 1, static_cast<std::uint16_t>(std::strlen(name)), name);
  Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The X window behind a widget now. QWidget::winId() keeps the first id, but
// Qt replaces the X window when it shows it again after some flag changes
// (staying on top, for one); the QWindow always knows the current one.
xcb_window_t nativeWindow(QWidget& window) {
  if (const QWindow* handle = window.windowHandle()) {
    return static_cast<xcb_window_t>(handle->winId());
  }
  return static_cast<xcb_window_t>(window.winId());
}

}  // namespace

int screenOfDisplayName(const std::string& display) {
  const auto colon = display.rfind(':');
  if (colon == std::string::npos) return 0;
  const auto dot = display.find('.', colon);
  if (dot == std::string::npos || dot + 1 >= display.size()) return 0;
  int screen = 0;
  for (std::size_t i = dot + 1; i < display.size(); ++i) {
    const char ch = display[i];
    if (ch < '0' || ch > '9' || screen > 1000) return 0;
    screen = screen * 10 + (ch - '0');
  }
  return screen;
}

bool compositorActive() {
  const QString platform = QGuiApplication::platformName();
  if (platform.startsWith(QLatin1String("wayland"))) return true;
  xcb_connection_t* c = xcbConnection();
  if (c == nullptr) return false;
  const char* display = std::getenv("DISPLAY");
  const std::string name =
      "_NET_WM_CM_S" + std::to_string(screenOfDisplayName(display ? display : ""));
  // A selection nobody ever named has no owner; do not create the atom.
  const xcb_atom_t selection = atom(c, name.c_str(), false);
  if (selection == XCB_ATOM_NONE) return false;
  Reply<xcb_get_selection_owner_reply_t> owner(
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
  return owner && owner->owner != XCB_WINDOW_NONE;
}

void markSkipTaskbar(QWidget& window) {
  xcb_connection_t* c = xcbConnection();
  if (c == nullptr) return;
  const xcb_window_t id = nativeWindow(window);
  const xcb_atom_t state = atom(c, "_NET_WM_STATE", true);
  const xcb_atom_t wanted[] = {atom(c, "_NET_WM_STATE_SKIP_TASKBAR", true),
                               atom(c, "_NET_WM_STATE_SKIP_PAGER", true)};
  if (state == XCB_ATOM_NONE) return;
  std::vector<xcb_atom_t> atoms;
  Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      c, xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 1024), nullptr));
  if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
    const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    atoms.assign(values, values + xcb_get_property_value_length(reply.get()) / 4);
  }
  for (const xcb_atom_t a : wanted) {
    if (a != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), a) == atoms.end()) {
      atoms.push_back(a);
    }
  }
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                      static_cast<std::uint32_t>(atoms.size()), atoms.data());
  xcb_flush(c);
}

void requestSkipTaskbar(QWidget& window) {
  xcb_connection_t* c = xcbConnection();
  if (c == nullptr) return;
  const xcb_atom_t state = atom(c, "_NET_WM_STATE", true);
  if (state == XCB_ATOM_NONE) return;
  const xcb_window_t id = nativeWindow(window);
  Reply<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr));
  if (!geometry) return;
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = id;
  event.type = state;
  event.data.data32[0] = 1;  // add
  event.data.data32[1] = atom(c, "_NET_WM_STATE_SKIP_TASKBAR", true);
  event.data.data32[2] = atom(c, "_NET_WM_STATE_SKIP_PAGER", true);
  event.data.data32[3] = 1;  // from a normal application
  xcb_send_event(c, 0, geometry->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&event));
  xcb_flush(c);
}

void flushDisplay() {
  if (xcb_connection_t* c = xcbConnection()) xcb_flush(c);
}

}  // namespace vashel
