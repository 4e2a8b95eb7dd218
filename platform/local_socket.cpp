// Local sockets over socket, bind, listen and accept4.
#include "platform/local_socket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vashel {
namespace {

// The address for `path`, or false when it does not fit.
bool addressOf(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

int newSocket() { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

}  // namespace

bool localServerAnswers(const std::string& path) {
  sockaddr_un address;
  if (!addressOf(path, address)) return false;
  const int fd = newSocket();
  if (fd < 0) return false;
  // A full backlog (EAGAIN) still means someone listens.
  const bool answers = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ||
                       errno == EAGAIN;
  ::close(fd);
  return answers;
}

LocalListen listenLocal(const std::string& path, int backlog) {
  LocalListen result;
  sockaddr_un address;
  if (!addressOf(path, address)) {
    result.error = path + ": the name is too long for a socket";
    return result;
  }
  const int fd = newSocket();
  if (fd < 0) {
    result.error = std::string("socket: ") + std::strerror(errno);
    return result;
  }
  const auto bindIt = [&] {
    return ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  };
  bool bound = bindIt();
  if (!bound && errno == EADDRINUSE) {
    if (localServerAnswers(path)) {
      ::close(fd);
      result.outcome = ListenOutcome::Taken;
      result.error = path + " is taken by a running server";
      return result;
    }
    ::unlink(path.c_str());  // left behind by a process that died
    bound = bindIt();
  }
  // Only the owner may connect, also when the folder is not a private one.
  struct stat info {};
  if (!bound || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, backlog) != 0 ||
      ::stat(path.c_str(), &info) != 0) {
    result.error = path + ": " + std::strerror(errno);
    if (bound) ::unlink(path.c_str());
    ::close(fd);
    return result;
  }
  result.outcome = ListenOutcome::Listening;
  result.listener.fd = fd;
  result.listener.path = path;
  result.listener.device = info.st_dev;
  result.listener.inode = info.st_ino;
  return result;
}

void closeLocal(LocalListener& listener) {
  if (listener.fd < 0) return;
  ::close(listener.fd);
  listener.fd = -1;
  struct stat info {};
  if (::lstat(listener.path.c_str(), &info) == 0 && info.st_dev == listener.device &&
      info.st_ino == listener.inode) {
    ::unlink(listener.path.c_str());
  }
}

LocalAccept acceptLocal(const LocalListener& listener) {
  const int fd = ::accept4(listener.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd >= 0) return {AcceptOutcome::Accepted, fd};
  switch (errno) {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EINTR:
      return {AcceptOutcome::NonePending, -1};
    case EMFILE:
    case ENFILE:
    case ENOBUFS:
    case ENOMEM:
      return {AcceptOutcome::OutOfResources, -1};
    default:
      return {AcceptOutcome::Failed, -1};
  }
}

void closeLocalConnection(int fd) {
  if (fd >= 0) ::close(fd);
}

}  // namespace vashel
