// The new-mail channel: a mail checker in another process tells the running
// character how many new mails there are. One text line, an unsigned decimal
// count, over a local socket in the user's private runtime folder, named
// after the window class and the display.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "platform/local_socket.h"
#include "platform/mail_socket.h"

class QLocalSocket;
class QSocketNotifier;

namespace vashel {

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
