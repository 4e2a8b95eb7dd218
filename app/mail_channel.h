// The new-mail channel: a mail checker in another process tells the running
// character how many new mails there are. One text line, an unsigned decimal
// count, over a local socket in the user's private runtime folder, named
// after the window class and the display.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/local_socket.h"
#include "platform/runtime_dir.h"

class QLocalSocket;
class QSocketNotifier;

namespace vashel {

// The socket's file name for an X display such as ":0", "localhost:10.0" or
// none (null or empty): "vezudovora-<display>", the screen number dropped
// (one display server is one desktop) and characters that have no place in a
// file name replaced.
inline std::string mailSocketName(const char* display) {
  std::string name = "vezudovora";
  if (display == nullptr || display[0] == '\0') return name;
  std::string_view shown(display);
  if (const auto colon = shown.rfind(':'); colon != std::string_view::npos) {
    if (const auto dot = shown.find('.', colon); dot != std::string_view::npos) {
      shown = shown.substr(0, dot);
    }
  }
  shown = shown.substr(0, 64);  // the whole path must fit a socket address
  name += '-';
  for (const char ch : shown) {
    const bool plain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                       (ch >= '0' && ch <= '9') || ch == '.' || ch == ':' || ch == '-' ||
                       ch == '_';
    name += plain ? ch : '_';
  }
  return name;
}

// Where the socket is: the absolute path in VASHEL_MAIL_SOCKET when it is set
// (tests, measurements), else mailSocketName($DISPLAY) in the private runtime
// folder, which is created when `createFolder` is set. On failure the path is
// empty and `error` says why; `missing` when the folder does not exist.
inline RuntimeDir mailSocketPath(bool createFolder) {
  if (const char* path = std::getenv("VASHEL_MAIL_SOCKET"); path != nullptr && path[0] != '\0') {
    if (path[0] == '/') return {path, {}};
    return {{}, std::string("VASHEL_MAIL_SOCKET is not an absolute path: ") + path};
  }
  RuntimeDir folder = privateRuntimeDir(createFolder);
  if (!folder.path.empty()) folder.path += '/' + mailSocketName(std::getenv("DISPLAY"));
  return folder;
}

// The count in one line: decimal digits only, optionally followed by "\n" or
// "\r\n"; at most 4294967295. Anything else is no count.
inline std::optional<std::uint32_t> parseMailCount(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char ch : line) {
    if (ch < '0' || ch > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(ch - '0');
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

// Replies the server sends before it closes the connection.
inline constexpr char kMailAccepted[] = "ok\n";
inline constexpr char kMailRejected[] = "bad\n";

struct MailServerLimits {
  // Connections held at once; a new one beyond this drops the oldest, so that
  // idle connections cannot lock a real sender out.
  int maxConnections = 16;
  // A sender has this long to send its line, then it is dropped.
  int senderTimeoutMs = 2000;
};

// Listens for counts on the main thread and hands each accepted one to the
// callback, after the sender has had its reply (the callback may open a
// modal box). A failed accept never ends the listening.
class MailServer final : public QObject {
  Q_OBJECT

 public:
  explicit MailServer(std::function<void(std::uint32_t count)> onCount,
                      MailServerLimits limits = {}, QObject* parent = nullptr);
  ~MailServer() override;

  // Starts listening at mailSocketPath, or at `path`. A socket file left by a
  // character that died is replaced; one that answers belongs to a running
  // character and is left alone. False, with a line on stderr, when not
  // listening.
  bool listen();
  bool listen(const std::string& path);
  const std::string& socketPath() const { return listener_.path; }
  // Connections held now.
  int connectionCount() const { return static_cast<int>(held_.size()); }

 private:
  void acceptConnections();
  void hold(int fd);
  void release(QLocalSocket* socket);
  // Reads the sender's line once it is complete, answers and closes.
  void serve(QLocalSocket& socket, bool senderDone);

  std::function<void(std::uint32_t)> onCount_;
  MailServerLimits limits_;
  LocalListener listener_;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer resume_;                   // re-enables accepting after running out of descriptors
  std::deque<QLocalSocket*> held_;  // oldest first; children of this server
};

}  // namespace vashel
