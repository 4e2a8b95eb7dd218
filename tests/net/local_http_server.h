// A small HTTP server on 127.0.0.1 for the fetch tests: a thread with a
// listening socket that answers each request with what the test's handler
// returns, or holds the connection without a word when it returns nothing.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vashel::testing {

// A whole HTTP/1.0 reply.
inline std::string httpReply(int status, const std::string& body,
                             const std::string& extraHeaders = "") {
  return "HTTP/1.0 " + std::to_string(status) + " X\r\nContent-Type: application/xml\r\n" +
         "Content-Length: " + std::to_string(body.size()) + "\r\n" + extraHeaders +
         "Connection: close\r\n\r\n" + body;
}

class LocalHttpServer {
 public:
  // Gets the request's path; returns the raw reply, or nothing to stay silent.
  using Handler = std::function<std::optional<std::string>(const std::string& path)>;

  explicit LocalHttpServer(Handler handler) : handler_(std::move(handler)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener_ < 0) std::abort();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 8) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      std::abort();
    }
    port_ = ntohs(address.sin_port);
    if (::pipe(stopPipe_) != 0) std::abort();
    thread_ = std::thread([this] { run(); });
  }

  ~LocalHttpServer() {
    const char byte = 0;
    if (::write(stopPipe_[1], &byte, 1) != 1) std::abort();
    thread_.join();
    for (int fd : held_) ::close(fd);
    ::close(listener_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
  }

  int port() const { return port_; }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  int requests() const { return requests_.load(); }

 private:
  void run() {
    for (;;) {
      pollfd fds[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) continue;
      if (fds[1].revents != 0) return;
      const int connection = ::accept(listener_, nullptr, nullptr);
      if (connection < 0) continue;
      serve(connection);
    }
  }

  void serve(int connection) {
    std::string request;
    char chunk[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
      pollfd fd{connection, POLLIN, 0};
      if (::poll(&fd, 1, 2000) <= 0) break;
      const ssize_t got = ::read(connection, chunk, sizeof chunk);
      if (got <= 0) break;
      request.append(chunk, static_cast<std::size_t>(got));
    }
    ++requests_;
    const std::size_t start = request.find(' ');
    const std::size_t end = request.find(' ', start + 1);
    const std::string path =
        start == std::string::npos || end == std::string::npos ? "" : request.substr(start + 1, end - start - 1);
    const std::optional<std::string> reply = handler_(path);
    if (!reply) {
      held_.push_back(connection);  // accepted, never answered
      return;
    }
    std::size_t sent = 0;
    while (sent < reply->size()) {
      const ssize_t n = ::send(connection, reply->data() + sent, reply->size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    ::shutdown(connection, SHUT_WR);
    ::close(connection);
  }

  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  int stopPipe_[2] = {-1, -1};
  std::atomic<int> requests_{0};
  std::vector<int> held_;  // touched by the server thread only until the join
  std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens: bound, then released.
inline int closedLocalPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::abort();
  }
  ::close(fd);
  return ntohs(address.sin_port);
}

// What a function printed on a FILE*.
class CapturedFile {
 public:
  CapturedFile() : file_(std::tmpfile()) {}
  ~CapturedFile() { std::fclose(file_); }
  std::FILE* get() { return file_; }
  std::string text() {
    std::fflush(file_);
    std::string all;
    std::rewind(file_);
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) all.append(buffer, n);
    return all;
  }

 private:
  std::FILE* file_;
};

}  // namespace vashel::testing
