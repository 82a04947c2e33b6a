// Releasing a task pool, as a closing window does, never waits on the network for longer than one
// time-out: not for an idle worker, not for a reply that trickles in, not for a name server that
// never answers.
#include "comm/CommTask.h"
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/FakeController.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkProxy>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QUdpSocket>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace {

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<QCoreApplication>);

const QString kHost = QStringLiteral("127.0.0.1");
const QString kPass = QStringLiteral("8052");
constexpr int kTimeOutMs = 2000; // both time-outs of every pool here
// Room for thread start-up and scheduling on a busy machine; far less than one time-out.
constexpr int kSlackMs = kTimeOutMs / 4;

// Set in the child process that runs the name server row inside its own mount namespace.
const char* const kFakeResolverVariable = "NODARIX_TEST_FAKE_RESOLVER";
// A loopback address of its own for the fake name server, so that it meets no resolver of the machine.
const QHostAddress kNameServer(QStringLiteral("127.53.0.1"));

TStatus pollEnd(TCommTask& pool, qint32 id) {
    QElapsedTimer timer;
    timer.start();
    TStatus s;
    while ((s = pool.GetTaskStatus(id)) == statWait || s == statProgress) {
        if (timer.elapsed() > 30000)
            break;
        QThread::msleep(1);
    }
    return s;
}

QByteArray versionReply() {
    QByteArray version(38, '\0');
    version.replace(0, 6, "V4.1.3");
    return FakeController::frame(0xBA, 0, version);
}

// Puts the pool's worker into the row's situation; what it returns keeps the peer alive until the
// pool has been released.
using Scenario = std::function<std::shared_ptr<void>(TCommTask& pool)>;

struct ReleaseCase {
    const char* name;
    Scenario start;
    int maxReleaseMs;
    bool ownNameServer = false; // runs in a child process whose resolver is the fake name server
};

void PrintTo(const ReleaseCase& c, std::ostream* os) { *os << c.name; }

// Served once, then the peer closes the connection and accepts no more: its listen queue holds one
// connection it never takes, so any further connection attempt hangs until its time-out.
std::shared_ptr<void> idleWorkerWhosePeerStoppedAccepting(TCommTask& pool) {
    auto server = std::make_shared<QTcpServer>();
    server->setProxy(QNetworkProxy::NoProxy);
    server->setListenBacklogSize(0);
    EXPECT_TRUE(server->listen(QHostAddress::LocalHost, 0));
    const qint32 id = pool.AddTaskVersion(kHost, server->serverPort(), true, kPass);
    EXPECT_TRUE(server->waitForNewConnection(5000));
    std::unique_ptr<QTcpSocket> served(server->nextPendingConnection());
    if (!served)
        return server;
    while (served->bytesAvailable() < 16 && served->waitForReadyRead(5000)) {
    }
    served->write(versionReply());
    served->waitForBytesWritten(5000);
    EXPECT_EQ(pollEnd(pool, id), STATRESOK);
    served->abort();
    auto filler = std::make_shared<QTcpSocket>();
    filler->setProxy(QNetworkProxy::NoProxy);
    filler->connectToHost(QHostAddress::LocalHost, server->serverPort());
    EXPECT_TRUE(filler->waitForConnected(5000));
    return std::make_shared<std::pair<std::shared_ptr<QTcpServer>, std::shared_ptr<QTcpSocket>>>(server, filler);
}

// The version reply comes one byte every 150 ms: each wait is short, the whole far too long.
std::shared_ptr<void> replyTrickledByteByByte(TCommTask& pool) {
    auto controller = std::make_shared<FakeController>([](const QByteArray&) {
        FakeController::Reply reply{versionReply()};
        reply.byteIntervalMs = 150;
        return reply;
    });
    pool.AddTaskVersion(kHost, controller->port(), true, kPass);
    EXPECT_TRUE(controller->waitForRequests(1));
    return controller;
}

// The worker looks up a host name; the name server receives the query and never answers.
std::shared_ptr<void> nameServerThatNeverAnswers(TCommTask& pool) {
    auto nameServer = std::make_shared<QUdpSocket>();
    nameServer->setProxy(QNetworkProxy::NoProxy);
    EXPECT_TRUE(nameServer->bind(kNameServer, 53)) << nameServer->errorString().toStdString();
    pool.AddTaskVersion(QStringLiteral("controller.nodarix.test"), 7080, true, kPass);
    EXPECT_TRUE(nameServer->waitForReadyRead(5000)) << "the look-up did not reach the fake name server";
    return nameServer;
}

#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
constexpr bool kThreadSanitizer = __has_feature(thread_sanitizer);
#else
constexpr bool kThreadSanitizer = false;
#endif

// Runs this test again in a child process with a mount namespace of its own, where the resolver
// configuration names only the fake name server on loopback.
void runWithFakeNameServer() {
    if (kThreadSanitizer)
        GTEST_SKIP() << "ThreadSanitizer's runtime cannot start a child process from this one";
    QTemporaryDir dir;
    const QString resolvConf = dir.filePath(QStringLiteral("resolv.conf"));
    const QString nsswitchConf = dir.filePath(QStringLiteral("nsswitch.conf"));
    QFile resolv(resolvConf), nsswitch(nsswitchConf);
    ASSERT_TRUE(resolv.open(QIODevice::WriteOnly) && nsswitch.open(QIODevice::WriteOnly));
    resolv.write("nameserver " + kNameServer.toString().toLatin1() + "\n");
    nsswitch.write("hosts: files dns\n"); // no look-up service other than that name server
    resolv.close();
    nsswitch.close();

    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kFakeResolverVariable), QStringLiteral("1"));
    // The child runs this one test, whichever share of the cases this process was given.
    environment.remove(QStringLiteral("GTEST_TOTAL_SHARDS"));
    environment.remove(QStringLiteral("GTEST_SHARD_INDEX"));
    child.setProcessEnvironment(environment);
    child.start(QStringLiteral("unshare"),
                {QStringLiteral("-m"), QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("mount --bind \"$1\" /etc/resolv.conf && mount --bind \"$2\" /etc/nsswitch.conf "
                                "|| exit 77; exec \"$3\" --gtest_filter=\"$4\""),
                 QStringLiteral("sh"), resolvConf, nsswitchConf, QFile::symLinkTarget(QStringLiteral("/proc/self/exe")),
                 QStringLiteral("%1.%2").arg(test->test_suite_name(), test->name())});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QByteArray output = child.readAllStandardOutput() + child.readAllStandardError();
    if (child.exitCode() == 77 || output.contains("unshare failed"))
        GTEST_SKIP() << "needs the right to make a mount namespace: " << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

class ReleasingAPool : public ::testing::TestWithParam<ReleaseCase> {};

} // namespace

TEST_P(ReleasingAPool, TakesAtMostOneTimeOut) {
    const ReleaseCase& c = GetParam();
    if (c.ownNameServer && qEnvironmentVariableIsEmpty(kFakeResolverVariable)) {
        runWithFakeNameServer();
        return;
    }
    auto pool = std::make_unique<TCommTask>(kTimeOutMs, kTimeOutMs);
    const std::shared_ptr<void> peer = c.start(*pool);
    QElapsedTimer release;
    release.start();
    pool.reset();
    const qint64 releaseMs = release.elapsed();
    RecordProperty("release_ms", int(releaseMs));
    EXPECT_LE(releaseMs, c.maxReleaseMs);
}

INSTANTIATE_TEST_SUITE_P(
    Link, ReleasingAPool,
    ::testing::Values(
        // Nothing to finish: the worker ends without another connection attempt.
        ReleaseCase{"IdleWorkerWhosePeerStoppedAccepting", idleWorkerWhosePeerStoppedAccepting, kSlackMs},
        // The exchange ends at its deadline: the read time-out and 1 ms for each of its 70 bytes.
        ReleaseCase{"ReplyTrickledByteByByte", replyTrickledByteByByte, kTimeOutMs + 70 + kSlackMs},
        // The look-up is given up after the connect time-out.
        ReleaseCase{"NameServerThatNeverAnswers", nameServerThatNeverAnswers, kTimeOutMs + kSlackMs, true}),
    [](const auto& info) { return std::string(info.param.name); });
