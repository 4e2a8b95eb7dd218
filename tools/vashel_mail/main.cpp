// vashel-mail N: sends a new-mail count to the character running for this
// user on this display, the way a mail checker would.
#include <QCoreApplication>
#include <QLocalSocket>

#include <cstdio>
#include <cstring>

#include "platform/mail_socket.h"

namespace {

constexpr int kWaitMs = 3000;

int fail(const char* message, const char* detail = nullptr) {
  if (detail != nullptr) {
    std::fprintf(stderr, "vashel-mail: %s: %s\n", message, detail);
  } else {
    std::fprintf(stderr, "vashel-mail: %s\n", message);
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vashel-mail COUNT\n");
    return 2;
  }
  const auto count = vashel::parseMailCount(argv[1]);
  if (!count) return fail("not a count of mails (0 to 4294967295)", argv[1]);

  // The folder is checked, not created: a folder that is not private may
  // hold someone else's socket, and a missing one holds none.
  const vashel::RuntimeDir where = vashel::mailSocketPath(false);
  if (where.missing) return fail("no character is running");
  if (where.path.empty()) return fail("no private folder for the mail socket", where.error.c_str());

  QCoreApplication app(argc, argv);
  QLocalSocket socket;
  socket.connectToServer(QString::fromLocal8Bit(where.path.c_str()));
  if (!socket.waitForConnected(kWaitMs)) return fail("no character is running");
  const QByteArray line = QByteArray::number(*count) + '\n';
  socket.write(line);
  if (!socket.waitForBytesWritten(kWaitMs)) return fail("the character did not take the count");
  // The character answers before it closes; its answer says whether it took the count.
  QByteArray reply;
  while (!reply.contains('\n') && socket.waitForReadyRead(kWaitMs)) reply += socket.readAll();
  reply += socket.readAll();
  if (reply.startsWith(vashel::kMailAccepted)) return 0;
  return fail(reply.isEmpty() ? "the character did not answer" : "the character refused the count");
}
