// The new-mail channel: a mail checker in another process tells the running
// character how many new mails there are. One text line, an unsigned decimal
// count, over a local socket named after the window class and the user.
#pragma once

#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string_view>

#include <unistd.h>

namespace vashel {

// The socket's name: "vezudovora-<uid>" in the temporary folder, so two
// users on one machine do not meet. VASHEL_MAIL_SOCKET overrides it (tests).
inline QString mailServerName() {
  if (const char* name = std::getenv("VASHEL_MAIL_SOCKET"); name != nullptr && name[0] != '\0') {
    return QString::fromLocal8Bit(name);
  }
  return QStringLiteral("vezudovora-%1").arg(static_cast<qulonglong>(::getuid()));
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

// Listens for counts on the main thread and hands each accepted one to the
// callback, after the sender has had its reply (the callback may open a
// modal box).
class MailServer final : public QObject {
  Q_OBJECT

 public:
  explicit MailServer(std::function<void(std::uint32_t count)> onCount,
                      QObject* parent = nullptr);
  ~MailServer() override;

  // Starts listening under `name`. A socket file left by a character that
  // died is replaced; one that answers belongs to a running character and is
  // left alone (false, with a line on stderr).
  bool listen(const QString& name = mailServerName());
  QString fullServerName() const { return server_.fullServerName(); }

 private:
  void acceptConnections();
  // Reads the sender's line once it is complete, answers and closes.
  void serve(QLocalSocket& socket, bool senderDone);

  std::function<void(std::uint32_t)> onCount_;
  QLocalServer server_;
};

}  // namespace vashel
