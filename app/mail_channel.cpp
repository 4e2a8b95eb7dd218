// The new-mail socket server.
#include "app/mail_channel.h"

#include <QLocalSocket>
#include <QTimer>
#include <QVariant>

#include <cstdio>

namespace vashel {
namespace {

constexpr qint64 kMaxLineBytes = 32;  // "4294967295\r\n" and room to spare
constexpr int kSenderTimeoutMs = 5000;

// Whether a live server answers under `name`.
bool serverAnswers(const QString& name) {
  QLocalSocket probe;
  probe.connectToServer(name);
  const bool answered = probe.waitForConnected(500);
  probe.abort();
  return answered;
}

}  // namespace

MailServer::MailServer(std::function<void(std::uint32_t)> onCount, QObject* parent)
    : QObject(parent), onCount_(std::move(onCount)) {
  // Only this user may send counts.
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, [this] { acceptConnections(); });
}

MailServer::~MailServer() { server_.close(); }

bool MailServer::listen(const QString& name) {
  // Ask first: with access options Qt binds elsewhere and renames the socket
  // into place, which would silently take the name from a running character.
  if (serverAnswers(name)) {
    std::fprintf(stderr, "mail channel: %s is taken by a running character\n", qPrintable(name));
    return false;
  }
  if (server_.listen(name)) return true;
  if (server_.serverError() == QAbstractSocket::AddressInUseError) {
    QLocalServer::removeServer(name);  // left behind by a character that died
    if (server_.listen(name)) return true;
  }
  std::fprintf(stderr, "mail channel: cannot listen on %s: %s\n", qPrintable(name),
               qPrintable(server_.errorString()));
  return false;
}

void MailServer::acceptConnections() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // A sender that never finishes its line is dropped.
    QTimer::singleShot(kSenderTimeoutMs, socket, [socket] { socket->abort(); });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(*socket, false); });
    // A last line without its newline still counts once the sender is done.
    connect(socket, &QLocalSocket::readChannelFinished, this,
            [this, socket] { serve(*socket, true); });
    if (socket->bytesAvailable() > 0) serve(*socket, false);
  }
}

void MailServer::serve(QLocalSocket& socket, bool senderDone) {
  if (socket.property("answered").toBool()) {
    socket.readAll();  // one count per connection
    return;
  }
  const QByteArray head = socket.peek(kMaxLineBytes + 1);
  const qsizetype newline = head.indexOf('\n');
  std::optional<std::uint32_t> count;
  if (newline >= 0) {
    const QByteArray line = socket.read(newline + 1);
    count = parseMailCount(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
  } else if (head.size() > kMaxLineBytes) {
    // too long to be a count: refuse without reading on
  } else if (senderDone && !head.isEmpty()) {
    const QByteArray line = socket.readAll();
    count = parseMailCount(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
  } else {
    return;  // wait for the rest of the line
  }
  socket.setProperty("answered", true);
  if (socket.state() == QLocalSocket::ConnectedState) {
    socket.write(count ? kMailAccepted : kMailRejected);
    socket.flush();
    socket.disconnectFromServer();
  }
  if (count && onCount_) {
    // Later, from the event loop: the callback may run a modal box, which
    // must not nest inside this socket's signal.
    QTimer::singleShot(0, this, [this, value = *count] { onCount_(value); });
  }
}

}  // namespace vashel
