// The user signal SIGUSR1 as a request for a report: the handler only writes
// a byte to a pipe, and the event loop serves the request from there.
#pragma once

namespace vashel {

// Installs the handler once and returns the pipe's read end (non-blocking,
// closed on exec), readable after every delivery; -1 when the pipe or the
// handler cannot be set up.
int openReportSignalPipe();

// Reads every pending byte, so that the pipe is readable again only after the
// next signal.
void drainReportSignalPipe(int fd);

}  // namespace vashel
