// Unix-domain stream sockets for a local channel: a listener whose failed
// accepts leave it listening, and a probe for a live server.
#pragma once

#include <cstdint>
#include <string>

namespace vashel {

// A listening socket bound to a file. Not copyable; move it or close it.
struct LocalListener {
  int fd = -1;
  std::string path;
  std::uint64_t device = 0, inode = 0;  // the socket file, so that only ours is removed
};

enum class ListenOutcome { Listening, Taken, Failed };

struct LocalListen {
  ListenOutcome outcome = ListenOutcome::Failed;
  LocalListener listener;
  std::string error;  // one line, for Taken and Failed
};

// Binds a non-blocking listening socket at `path`, mode 0600. A socket file
// that no server answers on (left by a process that died) is replaced; one
// that answers belongs to a running server and is left alone (Taken).
LocalListen listenLocal(const std::string& path, int backlog);

// Closes the socket and removes its file, unless the file is no longer ours.
void closeLocal(LocalListener& listener);

enum class AcceptOutcome {
  Accepted,
  NonePending,
  OutOfResources,  // no descriptor or memory for one more: try again later
  Failed,          // this connection is lost (aborted by its peer); the listener is fine
};

struct LocalAccept {
  AcceptOutcome outcome = AcceptOutcome::Failed;
  int fd = -1;  // a non-blocking connection when Accepted; the caller owns it
};

LocalAccept acceptLocal(const LocalListener& listener);
// Closes an accepted connection that found no taker.
void closeLocalConnection(int fd);

// Whether a server is listening at `path` now; never blocks.
bool localServerAnswers(const std::string& path);

}  // namespace vashel
