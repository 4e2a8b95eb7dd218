// The new-mail socket server.
#include "app/mail_channel.h"

#include <QLocalSocket>
#include <QSocketNotifier>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

namespace vashel {
namespace {

constexpr qint64 kMaxLineBytes = 32;  // "4294967295\r\n" and room to spare
constexpr int kBacklog = 64;
// Accepts per wake-up, so that a flood cannot starve the event loop; the
// notifier wakes again while more wait.
constexpr int kAcceptBatch = 64;
// How long to wait for a descriptor when none of ours can be given back.
constexpr int kResumeAfterMs = 100;

}  // namespace

MailServer::MailServer(std::function<void(std::uint32_t)> onCount, MailServerLimits limits,
                       QObject* parent)
    : QObject(parent), onCount_(std::move(onCount)), limits_(limits) {
  limits_.maxConnections = std::max(limits_.maxConnections, 1);
  resume_.setSingleShot(true);
  resume_.setInterval(kResumeAfterMs);
  connect(&resume_, &QTimer::timeout, this, [this] {
    if (notifier_) notifier_->setEnabled(true);
  });
}

MailServer::~MailServer() {
  // Close the connections while this object is whole: their signals reach it.
  const std::deque<QLocalSocket*> sockets = std::move(held_);
  held_.clear();
  for (QLocalSocket* socket : sockets) {
    socket->disconnect(this);
    delete socket;
  }
  notifier_.reset();
  closeLocal(listener_);
}

bool MailServer::listen() {
  const RuntimeDir where = mailSocketPath(true);
  if (where.path.empty()) {
    std::fprintf(stderr, "mail channel: %s\n", where.error.c_str());
    return false;
  }
  return listen(where.path);
}

bool MailServer::listen(const std::string& path) {
  if (listener_.fd >= 0) return listener_.path == path;
  LocalListen result = listenLocal(path, kBacklog);
  if (result.outcome == ListenOutcome::Taken) {
    std::fprintf(stderr, "mail channel: %s is taken by a running character\n", path.c_str());
    return false;
  }
  if (result.outcome != ListenOutcome::Listening) {
    std::fprintf(stderr, "mail channel: cannot listen: %s\n", result.error.c_str());
    return false;
  }
  listener_ = std::move(result.listener);
  notifier_ = std::make_unique<QSocketNotifier>(listener_.fd, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { acceptConnections(); });
  return true;
}

void MailServer::acceptConnections() {
  for (int i = 0; i < kAcceptBatch; ++i) {
    const LocalAccept accepted = acceptLocal(listener_);
    switch (accepted.outcome) {
      case AcceptOutcome::Accepted:
        hold(accepted.fd);
        break;
      case AcceptOutcome::NonePending:
        return;
      case AcceptOutcome::Failed:
        break;  // that sender is gone; the listener is not
      case AcceptOutcome::OutOfResources:
        if (!held_.empty()) {
          release(held_.front());  // give back our oldest descriptor and try again
          break;
        }
        // Nothing of ours to give back: wait rather than spin on a
        // connection that cannot be taken yet; it stays in the backlog.
        notifier_->setEnabled(false);
        resume_.start();
        return;
    }
  }
}

void MailServer::hold(int fd) {
  if (static_cast<int>(held_.size()) >= limits_.maxConnections) release(held_.front());
  auto* socket = new QLocalSocket(this);
  if (!socket->setSocketDescriptor(fd, QLocalSocket::ConnectedState, QIODevice::ReadWrite)) {
    delete socket;
    closeLocalConnection(fd);
    return;
  }
  held_.push_back(socket);
  connect(socket, &QLocalSocket::disconnected, this, [this, socket] { release(socket); });
  // A sender that does not finish its line in time is dropped.
  QTimer::singleShot(limits_.senderTimeoutMs, socket, [this, socket] { release(socket); });
  connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(*socket, false); });
  // A last line without its newline still counts once the sender is done.
  connect(socket, &QLocalSocket::readChannelFinished, this,
          [this, socket] { serve(*socket, true); });
  if (socket->bytesAvailable() > 0) serve(*socket, false);
}

void MailServer::release(QLocalSocket* socket) {
  const auto found = std::find(held_.begin(), held_.end(), socket);
  if (found == held_.end()) return;
  held_.erase(found);
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
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
    socket.disconnectFromServer();  // releases it once the answer is out
  } else {
    release(&socket);
  }
  if (count && onCount_) {
    // Later, from the event loop: the callback may run a modal box, which
    // must not nest inside this socket's signal.
    QTimer::singleShot(0, this, [this, value = *count] { onCount_(value); });
  }
}

}  // namespace vashel
