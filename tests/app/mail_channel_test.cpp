// The new-mail channel: the socket server, and the vashel-mail sender
// talking to it.
#include "app/mail_channel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "qt_test_app.h"

namespace vashel {
namespace {

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class MailServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureQtApp();
    ASSERT_TRUE(dir_.isValid());
    path_ = dir_.filePath("mail").toStdString();
  }

  struct Run {
    int exitCode = -1;
    QString errors;
  };
  Run runSender(const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VASHEL_MAIL_SOCKET", QString::fromStdString(path_));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VASHEL_BIN_DIR "/vashel-mail"), args);
    EXPECT_TRUE(process.waitForStarted(5000));
    // The server answers from this thread's event loop: keep it turning.
    EXPECT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
  }

  // Sends raw bytes, optionally closes the sending side, returns the answer.
  QByteArray exchange(const QByteArray& bytes, bool closeAfter) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(path_));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return socket.state() == QLocalSocket::ConnectedState; }, 2000));
    socket.write(bytes);
    socket.flush();
    QByteArray answer;
    if (closeAfter) {
      socket.disconnectFromServer();
      QTest::qWait(100);
      return answer;
    }
    (void)QTest::qWaitFor(
        [&] {
          answer += socket.readAll();
          return answer.contains('\n') || socket.state() == QLocalSocket::UnconnectedState;
        },
        2000);
    return answer + socket.readAll();
  }

  QByteArray socketPath() const { return QByteArray::fromStdString(path_); }

  QTemporaryDir dir_;
  std::string path_;
};

TEST_F(MailServerTest, TwoSendsOfThreeReachTheCallbackTwice) {
  std::vector<std::uint32_t> counts;
  MailServer server([&](std::uint32_t n) { counts.push_back(n); });
  ASSERT_TRUE(server.listen(path_));
  struct stat info {};
  ASSERT_EQ(::stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "only the owner may send counts";
  EXPECT_EQ(runSender({"3"}).exitCode, 0);
  EXPECT_EQ(runSender({"3"}).exitCode, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return counts.size() == 2; }, 1000));
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{3, 3}));
}

TEST_F(MailServerTest, SenderRefusesWhatIsNotACount) {
  std::vector<std::uint32_t> counts;
  MailServer server([&](std::uint32_t n) { counts.push_back(n); });
  ASSERT_TRUE(server.listen(path_));
  for (const char* bad : {"three", "-2", "4294967296"}) {
    const Run run = runSender({bad});
    EXPECT_NE(run.exitCode, 0) << bad;
    EXPECT_TRUE(run.errors.contains("not a count")) << run.errors.toStdString();
    EXPECT_EQ(run.errors.count('\n'), 1) << run.errors.toStdString();
  }
  EXPECT_NE(runSender({}).exitCode, 0);
  EXPECT_NE(runSender({"1", "2"}).exitCode, 0);
  QTest::qWait(50);
  EXPECT_TRUE(counts.empty());
}

TEST_F(MailServerTest, SenderFailsWhenNoCharacterRuns) {
  const Run run = runSender({"3"});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_TRUE(run.errors.contains("no character is running")) << run.errors.toStdString();
}

TEST_F(MailServerTest, ServerAnswersBadLinesAndCountsNothing) {
  std::vector<std::uint32_t> counts;
  MailServer server([&](std::uint32_t n) { counts.push_back(n); });
  ASSERT_TRUE(server.listen(path_));
  EXPECT_EQ(exchange("twelve\n", false), kMailRejected);
  EXPECT_EQ(exchange(QByteArray(100, '1'), false), kMailRejected);  // no newline, too long
  EXPECT_EQ(exchange("5\n", false), kMailAccepted);
  QTest::qWait(50);
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{5}));
}

TEST_F(MailServerTest, LineWithoutNewlineCountsWhenTheSenderCloses) {
  std::vector<std::uint32_t> counts;
  MailServer server([&](std::uint32_t n) { counts.push_back(n); });
  ASSERT_TRUE(server.listen(path_));
  exchange("42", true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !counts.empty(); }, 1000));
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{42}));
}

TEST_F(MailServerTest, SocketLeftByADeadCharacterIsReplaced) {
  // A bound socket file that nobody listens on, as a crash leaves it.
  const QByteArray path = socketPath();
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(static_cast<std::size_t>(path.size()), sizeof(address.sun_path));
  std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ::close(fd);

  std::vector<std::uint32_t> counts;
  MailServer server([&](std::uint32_t n) { counts.push_back(n); });
  ASSERT_TRUE(server.listen(path_));
  EXPECT_EQ(runSender({"8"}).exitCode, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !counts.empty(); }, 1000));
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{8}));
}

TEST_F(MailServerTest, RunningCharactersSocketIsNotTaken) {
  std::vector<std::uint32_t> first, second;
  MailServer running([&](std::uint32_t n) { first.push_back(n); });
  ASSERT_TRUE(running.listen(path_));
  MailServer late([&](std::uint32_t n) { second.push_back(n); });
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(late.listen(path_));
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("mail channel"), std::string::npos);
  EXPECT_EQ(runSender({"4"}).exitCode, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !first.empty(); }, 1000));
  EXPECT_EQ(first, (std::vector<std::uint32_t>{4}));
  EXPECT_TRUE(second.empty());
}

// --- Many connections, few descriptors ----------------------------------------

// Lowers this process's descriptor limit to `headroom` above the descriptors
// open now, and restores it at the end.
class DescriptorLimit {
 public:
  explicit DescriptorLimit(int headroom) {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    std::vector<int> open;
    for (const QString& entry : QDir("/proc/self/fd").entryList(QDir::Files | QDir::System)) {
      open.push_back(entry.toInt());
    }
    std::sort(open.begin(), open.end());
    // New descriptors take the lowest free numbers: leave exactly `headroom`
    // of them below the limit.
    int limit = headroom;
    for (const int fd : open) limit += fd < limit ? 1 : 0;
    rlimit lowered = saved_;
    lowered.rlim_cur = static_cast<rlim_t>(limit);
    ::setrlimit(RLIMIT_NOFILE, &lowered);
  }
  ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }

 private:
  rlimit saved_{};
};

// A raw client connection that sends nothing; -1 when none can be made. A
// full backlog is waited out with the event loop turning.
int connectIdle(const QByteArray& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
  for (int attempt = 0; attempt < 200; ++attempt) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    const int error = errno;
    ::close(fd);
    if (error != EAGAIN) return -1;
    QTest::qWait(5);
  }
  return -1;
}

// Whether the server has closed the connection (end of file, or reset).
bool closedByServer(int fd) {
  char byte;
  const ssize_t got = ::recv(fd, &byte, 1, MSG_DONTWAIT | MSG_PEEK);
  return got == 0 || (got < 0 && errno != EAGAIN);
}

TEST_F(MailServerTest, ACountArrivesPastManyIdleConnections) {
  std::vector<std::uint32_t> counts;
  MailServer server([&](std::uint32_t n) { counts.push_back(n); });
  ASSERT_TRUE(server.listen(path_));
  std::vector<int> idle;
  {
    // Room for the idle connections on this side, not for all of them on the
    // server's side too.
    DescriptorLimit limit(260);
    for (int i = 0; i < 200; ++i) {
      const int fd = connectIdle(socketPath());
      if (fd < 0) break;
      idle.push_back(fd);
      QCoreApplication::processEvents();
    }
    EXPECT_EQ(idle.size(), 200u);
    const Run run = runSender({"7"});
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !counts.empty(); }, 1000));
  }
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{7}));
  for (const int fd : idle) ::close(fd);
}

TEST_F(MailServerTest, KeepsListeningAfterAnAcceptFails) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer runtime opens a pipe to probe memory on its checks; with
  // every descriptor taken it cannot, and reports valid objects as broken.
  GTEST_SKIP() << "needs every file descriptor, which the sanitizers use themselves";
#endif
  std::vector<std::uint32_t> counts;
  MailServer server([&](std::uint32_t n) { counts.push_back(n); });
  ASSERT_TRUE(server.listen(path_));
  {
    DescriptorLimit limit(32);
    // A sender waits in the backlog while every descriptor is taken.
    const int sender = connectIdle(socketPath());
    ASSERT_GE(sender, 0);
    std::vector<int> fillers;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fillers.push_back(fd);
    ASSERT_EQ(errno, EMFILE);
    QTest::qWait(200);  // the server tries to accept and cannot
    for (const int fd : fillers) ::close(fd);

    ASSERT_EQ(::send(sender, "9\n", 2, MSG_NOSIGNAL), 2);
    QByteArray answer;
    (void)QTest::qWaitFor(
        [&] {
          char buffer[16];
          const ssize_t got = ::recv(sender, buffer, sizeof buffer, MSG_DONTWAIT);
          if (got > 0) answer.append(buffer, got);
          return answer.contains('\n') || got == 0 || (got < 0 && errno != EAGAIN);
        },
        3000);
    EXPECT_EQ(answer, kMailAccepted);
    ::close(sender);
  }
  const Run run = runSender({"10"});
  EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
  EXPECT_TRUE(QTest::qWaitFor([&] { return counts.size() == 2; }, 1000));
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{9, 10}));
}

TEST_F(MailServerTest, HoldsAtMostTheBoundAndDropsTheOldest) {
  std::vector<std::uint32_t> counts;
  MailServer server([&](std::uint32_t n) { counts.push_back(n); }, {4, 60000});
  ASSERT_TRUE(server.listen(path_));
  std::vector<int> idle;
  for (int i = 0; i < 10; ++i) {
    idle.push_back(connectIdle(socketPath()));
    ASSERT_GE(idle.back(), 0);
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return closedByServer(idle[5]); }, 2000));
  EXPECT_EQ(server.connectionCount(), 4);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(closedByServer(idle[i]), i < 6) << "connection " << i;
  EXPECT_EQ(exchange("5\n", false), kMailAccepted);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !counts.empty(); }, 1000));
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{5}));
  for (const int fd : idle) ::close(fd);
}

TEST_F(MailServerTest, IdleConnectionIsDroppedAfterTheTimeout) {
  MailServer server([](std::uint32_t) {}, {16, 200});
  ASSERT_TRUE(server.listen(path_));
  const int idle = connectIdle(socketPath());
  ASSERT_GE(idle, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return server.connectionCount() == 1; }, 1000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return closedByServer(idle); }, 5000));
  EXPECT_EQ(server.connectionCount(), 0);
  ::close(idle);
}

TEST_F(MailServerTest, CharactersOnTwoDisplaysKeepTheirOwnMail) {
  const ScopedEnv noOverride("VASHEL_MAIL_SOCKET", nullptr);
  const ScopedEnv folder("XDG_RUNTIME_DIR", dir_.path().toLocal8Bit().constData());
  std::vector<std::uint32_t> first, second;
  MailServer one([&](std::uint32_t n) { first.push_back(n); });
  MailServer two([&](std::uint32_t n) { second.push_back(n); });
  {
    const ScopedEnv display("DISPLAY", ":1");
    ASSERT_TRUE(one.listen());
  }
  {
    const ScopedEnv display("DISPLAY", ":2");
    ASSERT_TRUE(two.listen());
  }
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", ":2.0");
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(VASHEL_BIN_DIR "/vashel-mail"), {"6"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000));
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !second.empty(); }, 1000));
  EXPECT_EQ(second, (std::vector<std::uint32_t>{6}));
  EXPECT_TRUE(first.empty());
}

}  // namespace
}  // namespace vashel
