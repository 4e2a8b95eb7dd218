// The new-mail channel: the count's format, the socket server, and the
// vashel-mail sender talking to it.
#include "app/mail_channel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLocalSocket>
#include <QProcess>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "qt_test_app.h"

namespace vashel {
namespace {

TEST(ParseMailCount, TakesUnsignedDecimalLines) {
  EXPECT_EQ(parseMailCount("3"), 3u);
  EXPECT_EQ(parseMailCount("3\n"), 3u);
  EXPECT_EQ(parseMailCount("17\r\n"), 17u);
  EXPECT_EQ(parseMailCount("0"), 0u);
  EXPECT_EQ(parseMailCount("007"), 7u);
  EXPECT_EQ(parseMailCount("4294967295"), 4294967295u);
}

TEST(ParseMailCount, RejectsEverythingElse) {
  for (const char* bad : {"", "\n", "-1", "+3", " 3", "3 ", "3x", "0x10", "4294967296",
                          "99999999999999999999999", "3\n\n", "\r\n"}) {
    EXPECT_FALSE(parseMailCount(bad).has_value()) << '"' << bad << '"';
  }
}

class MailServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureQtApp();
    static int counter = 0;
    name_ = QStringLiteral("vashel-mail-test-%1-%2").arg(::getpid()).arg(++counter);
    QLocalServer::removeServer(name_);
  }
  void TearDown() override { QLocalServer::removeServer(name_); }

  struct Run {
    int exitCode = -1;
    QString errors;
  };
  Run runSender(const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VASHEL_MAIL_SOCKET", name_);
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
    socket.connectToServer(name_);
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

  QString name_;
};

TEST_F(MailServerTest, TwoSendsOfThreeReachTheCallbackTwice) {
  std::vector<std::uint32_t> counts;
  MailServer server([&](std::uint32_t n) { counts.push_back(n); });
  ASSERT_TRUE(server.listen(name_));
  EXPECT_EQ(runSender({"3"}).exitCode, 0);
  EXPECT_EQ(runSender({"3"}).exitCode, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return counts.size() == 2; }, 1000));
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{3, 3}));
}

TEST_F(MailServerTest, SenderRefusesWhatIsNotACount) {
  std::vector<std::uint32_t> counts;
  MailServer server([&](std::uint32_t n) { counts.push_back(n); });
  ASSERT_TRUE(server.listen(name_));
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
  ASSERT_TRUE(server.listen(name_));
  EXPECT_EQ(exchange("twelve\n", false), kMailRejected);
  EXPECT_EQ(exchange(QByteArray(100, '1'), false), kMailRejected);  // no newline, too long
  EXPECT_EQ(exchange("5\n", false), kMailAccepted);
  QTest::qWait(50);
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{5}));
}

TEST_F(MailServerTest, LineWithoutNewlineCountsWhenTheSenderCloses) {
  std::vector<std::uint32_t> counts;
  MailServer server([&](std::uint32_t n) { counts.push_back(n); });
  ASSERT_TRUE(server.listen(name_));
  exchange("42", true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !counts.empty(); }, 1000));
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{42}));
}

TEST_F(MailServerTest, SocketLeftByADeadCharacterIsReplaced) {
  // A bound socket file that nobody listens on, as a crash leaves it.
  const QByteArray path = QDir(QDir::tempPath()).filePath(name_).toLocal8Bit();
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
  ASSERT_TRUE(server.listen(name_));
  EXPECT_EQ(runSender({"8"}).exitCode, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !counts.empty(); }, 1000));
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{8}));
}

TEST_F(MailServerTest, RunningCharactersSocketIsNotTaken) {
  std::vector<std::uint32_t> first, second;
  MailServer running([&](std::uint32_t n) { first.push_back(n); });
  ASSERT_TRUE(running.listen(name_));
  MailServer late([&](std::uint32_t n) { second.push_back(n); });
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(late.listen(name_));
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("mail channel"), std::string::npos);
  EXPECT_EQ(runSender({"4"}).exitCode, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !first.empty(); }, 1000));
  EXPECT_EQ(first, (std::vector<std::uint32_t>{4}));
  EXPECT_TRUE(second.empty());
}

}  // namespace
}  // namespace vashel
