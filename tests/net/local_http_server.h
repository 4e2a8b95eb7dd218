// A small HTTP server on 127.0.0.1 for the fetch tests: a thread with a
// listening socket answers each request with what the test's handler returns
// for its path, or holds the connection without a word when it returns nothing.
#pragma once

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vashel::testing {

inline std::string httpReply(int status, const std::string& body, const std::string& headers = "") {
  return "HTTP/1.0 " + std::to_string(status) + " X\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n" + headers + "\r\n" + body;
}

// A loopback socket bound to a port of the system's choice; listening or not.
inline int loopbackSocket(int& port, bool listening) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      (listening && ::listen(fd, 8) != 0) ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::abort();
  }
  port = ntohs(address.sin_port);
  return fd;
}

// A URL on 127.0.0.1 where nothing listens.
inline std::string closedPortUrl() {
  int port = 0;
  ::close(loopbackSocket(port, false));
  return "http://127.0.0.1:" + std::to_string(port) + "/feed";
}

class LocalHttpServer {
 public:
  using Handler = std::function<std::optional<std::string>(const std::string& path)>;

  explicit LocalHttpServer(Handler handler) : handler_(std::move(handler)) {
    listener_ = loopbackSocket(port_, true);
    if (::pipe(stop_) != 0) std::abort();
    thread_ = std::thread([this] { run(); });
  }
  ~LocalHttpServer() {
    if (::write(stop_[1], "", 1) != 1) std::abort();
    thread_.join();
    for (int fd : held_) ::close(fd);
    for (int fd : {listener_, stop_[0], stop_[1]}) ::close(fd);
  }

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  int requests() const { return requests_.load(); }

 private:
  void run() {
    for (;;) {
      pollfd fds[2] = {{listener_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) continue;
      if (fds[1].revents != 0) return;
      const int connection = ::accept(listener_, nullptr, nullptr);
      if (connection >= 0) serve(connection);
    }
  }

  void serve(int connection) {
    std::string request;
    char chunk[1024];
    pollfd fd{connection, POLLIN, 0};
    while (request.find("\r\n\r\n") == std::string::npos && ::poll(&fd, 1, 2000) > 0) {
      const ssize_t got = ::read(connection, chunk, sizeof chunk);
      if (got <= 0) break;
      request.append(chunk, static_cast<std::size_t>(got));
    }
    ++requests_;
    const std::size_t start = request.find(' ') + 1;
    const std::optional<std::string> reply =
        handler_(request.substr(start, request.find(' ', start) - start));
    if (!reply) {
      held_.push_back(connection);  // accepted, never answered
      return;
    }
    for (std::size_t sent = 0; sent < reply->size();) {
      const ssize_t n = ::send(connection, reply->data() + sent, reply->size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    ::close(connection);
  }

  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  int stop_[2] = {-1, -1};
  std::atomic<int> requests_{0};
  std::vector<int> held_;  // the server thread's until the join
  std::thread thread_;
};

}  // namespace vashel::testing
