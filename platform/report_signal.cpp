// SIGUSR1 through a self-pipe: a signal handler may only do async-safe work.
#include "platform/report_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace vashel {
namespace {

int writeEnd = -1;
int readEnd = -1;

void onSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // A full pipe already holds a pending request.
  (void)!write(writeEnd, &byte, 1);
  errno = saved;
}

}  // namespace

int openReportSignalPipe() {
  if (readEnd >= 0) return readEnd;
  int fds[2];
  if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return -1;
  writeEnd = fds[1];
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  if (sigaction(SIGUSR1, &action, nullptr) != 0) {
    close(fds[0]);
    close(fds[1]);
    writeEnd = -1;
    return -1;
  }
  readEnd = fds[0];
  return readEnd;
}

void drainReportSignalPipe(int fd) {
  char buffer[64];
  while (read(fd, buffer, sizeof buffer) > 0) {
  }
}

}  // namespace vashel
