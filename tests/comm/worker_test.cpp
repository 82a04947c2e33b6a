// The connection worker and the task pool against a scripted controller on loopback.
#include "comm/CommTask.h"
#include "tests/support/FakeController.h"

#include <QElapsedTimer>
#include <QNetworkInterface>
#include <QThread>

#include <gtest/gtest.h>

namespace {

const QString kHost = QStringLiteral("127.0.0.1");
const QString kPass = QStringLiteral("8052");

// Polls until the task leaves statWait/statProgress, as a window's timer would.
TStatus waitEnd(TCommTask& pool, qint32 id, void* result = nullptr, quint8* progres = nullptr, int timeoutMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const TStatus s = pool.GetTaskStatus(id, nullptr, progres, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, result);
        if (s != statWait && s != statProgress)
            return s;
        if (timer.elapsed() > timeoutMs)
            return statProgress;
        QThread::msleep(1);
    }
}

QList<quint8> codes(const QList<QByteArray>& requests) {
    QList<quint8> out;
    for (const auto& r : requests)
        out.append(RequestCode(r));
    return out;
}

struct Memory {
    FakeMemory memory;
    FakeController controller{[this](const QByteArray& r) { return memory.answer(r); }};
};

} // namespace

TEST(ChooseNextSlot, StampOrderTiesToHigherIndexAndRunningTransfersFirst) {
    TTaskQueue<TVersionTask> one(3);
    one[0].Status = statWait, one[0].Stamp = 5;
    one[1].Status = statWait, one[1].Stamp = 5;
    one[2].Status = statFree, one[2].Stamp = 1;
    EXPECT_EQ(ChooseNextSlot(one, false), 1);
    one[0].Stamp = 4;
    EXPECT_EQ(ChooseNextSlot(one, false), 0);
    one[1].Status = statProgress;
    EXPECT_EQ(ChooseNextSlot(one, false), 1);

    TTaskQueue<TBlockTaskHead> block(3);
    block[0].Status = statWait, block[0].Stamp = 9;
    block[1].Status = statProgress, block[1].Stamp = 3;
    block[2].Status = statResErr, block[2].Stamp = 1;
    EXPECT_EQ(ChooseNextSlot(block, true), 1);
    block[1].Status = statFree;
    EXPECT_EQ(ChooseNextSlot(block, true), 0);
    TTaskQueue<TBlockTaskHead> empty;
    EXPECT_EQ(ChooseNextSlot(empty, true), -1);
}

TEST(Worker, VersionTaskReturnsRecordOnceThenFree) {
    Memory m;
    TCommTask pool(2000, 2000);
    const qint32 id = pool.AddTaskVersion(kHost, m.controller.port(), true, kPass);
    EXPECT_EQ(id, 1);
    TNodarixVersion version{};
    ASSERT_EQ(waitEnd(pool, id, &version), STATRESOK);
    EXPECT_EQ(FieldText(version.Version, 6), QStringLiteral("V4.1.3"));
    EXPECT_EQ(FieldText(version.Realization, 8), QStringLiteral("QPB1"));
    TNodarixVersion again{};
    EXPECT_EQ(pool.GetTaskStatus(id, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &again),
              statFree);
    EXPECT_EQ(again.Version[0], 0);
    // The request carries the password's hash.
    const QByteArray request = m.controller.requests().first();
    EXPECT_EQ(request, frame::BuildRequest(frame::kVersion, frame::PasswordHash(kPass)));
}

TEST(Worker, FreedSlotsAreReusedBeforeTheQueueGrows) {
    Memory m;
    TCommThread worker(kHost, m.controller.port(), true, 2000, 2000);
    for (int id = 1; id <= 3; ++id) {
        worker.AddTaskVersion(id, kPass);
        TStatus s;
        while ((s = worker.GetTaskStatus(id, nullptr, nullptr, nullptr)) == statWait || s == statProgress)
            QThread::msleep(1);
        EXPECT_EQ(s, STATRESOK);
    }
    EXPECT_EQ(worker.QueueSlots(taskVersion), 1);
}

TEST(Worker, VersionTaskIsAnsweredBetweenFlashBlocks) {
    Memory m;
    TCommTask pool(2000, 2000);
    QByteArray image(kFlashImageSize, '\x5A');
    const qint32 flash = pool.AddTaskFlashSave(kHost, m.controller.port(), true, kPass, image.constData());
    ASSERT_TRUE(m.controller.waitForRequests(10));
    const qint32 version = pool.AddTaskVersion(kHost, m.controller.port(), true, kPass);
    ASSERT_EQ(waitEnd(pool, version), STATRESOK);
    ASSERT_EQ(waitEnd(pool, flash, nullptr, nullptr, 60000), STATRESOK);
    const QList<quint8> seen = codes(m.controller.requests());
    const auto at = seen.indexOf(frame::kVersion);
    ASSERT_GT(at, 0);
    EXPECT_LT(at, 2048);
    EXPECT_EQ(seen.count(frame::kBlockWrite), 2048);
    EXPECT_EQ(m.memory.flash, image);
}

TEST(Worker, OneStepPerQueuePerCycle) {
    Memory m;
    m.controller.enableGate();
    TCommThread worker(kHost, m.controller.port(), true, 2000, 2000);
    // Queued while the worker waits for its first reply, so all three run side by side.
    worker.AddTaskConfQPBVarsRead(1, kPass);
    ASSERT_TRUE(m.controller.waitForRequests(1));
    worker.AddTaskConfQPBSettRead(2, kPass);
    worker.AddTaskHttpOn(3, kPass);
    m.controller.allow(1000);
    while (worker.GetTaskStatus(1, nullptr, nullptr, nullptr) != STATRESOK)
        QThread::msleep(1);
    const QList<quint8> seen = codes(m.controller.requests());
    // Cycle 1: vars block 0 (queue 15), then the HTTP task (queue 22) that arrived meanwhile;
    // queue 13 was already passed. Later cycles: one settings block, then one vars block.
    ASSERT_GE(seen.size(), 6);
    EXPECT_EQ(seen.mid(0, 6), (QList<quint8>{0xA8, 0xE1, 0xA6, 0xA8, 0xA6, 0xA8}));
}

TEST(Worker, ClosedByPeerAfterReplyFailsNextStepAndReconnects) {
    FakeMemory memory;
    FakeController controller([&](const QByteArray& r) {
        auto reply = memory.answer(r);
        reply.closeAfter = RequestCode(r) == frame::kVersion;
        return reply;
    });
    controller.enableGate();
    TCommThread worker(kHost, controller.port(), true, 2000, 2000);
    worker.AddTaskVersion(1, kPass);
    ASSERT_TRUE(controller.waitForRequests(1));
    worker.AddTaskHttpOff(2, kPass); // same cycle, after the version step
    controller.allow(1000);
    TStatus s1, s2;
    while ((s1 = worker.GetTaskStatus(1, nullptr, nullptr, nullptr)) == statWait || s1 == statProgress)
        QThread::msleep(1);
    while ((s2 = worker.GetTaskStatus(2, nullptr, nullptr, nullptr)) == statWait || s2 == statProgress)
        QThread::msleep(1);
    EXPECT_EQ(s1, STATRESOK);
    EXPECT_EQ(s2, statResTimeOut);
    worker.AddTaskHttpOff(3, kPass);
    TStatus s3;
    while ((s3 = worker.GetTaskStatus(3, nullptr, nullptr, nullptr)) == statWait || s3 == statProgress)
        QThread::msleep(1);
    EXPECT_EQ(s3, STATRESOK);
    EXPECT_EQ(controller.connectionCount(), 2);
}

class AfterCloseThread : public ::testing::TestWithParam<bool> {};

// Keep = false: CloseThread arrives during the pause between two cycles, after which the worker
// used to reconnect all the same.
TEST_P(AfterCloseThread, TasksFailAndNoConnectionIsMade) {
    const bool keep = GetParam();
    Memory m;
    int connections = 0;
    {
        TCommThread worker(kHost, m.controller.port(), keep, 2000, 2000);
        worker.AddTaskVersion(1, kPass);
        while (worker.GetTaskStatus(1, nullptr, nullptr, nullptr) != STATRESOK)
            QThread::msleep(1);
        QThread::msleep(100);
        worker.CloseThread();
        connections = m.controller.connectionCount();
        const int requests = m.controller.requestCount();
        worker.AddTaskVersion(2, kPass);
        TStatus s;
        while ((s = worker.GetTaskStatus(2, nullptr, nullptr, nullptr)) == statWait || s == statProgress)
            QThread::msleep(1);
        EXPECT_EQ(s, statResTimeOut);
        EXPECT_EQ(m.controller.requestCount(), requests);
    }
    QThread::msleep(100); // the controller takes a waiting connection within 20 ms
    EXPECT_EQ(m.controller.connectionCount(), connections);
}

INSTANTIATE_TEST_SUITE_P(Worker, AfterCloseThread, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Keep" : "Reconnect"; });

TEST(Worker, ReplyTrickledPastItsDeadlineIsATimeOut) {
    // Every byte comes well within the read time-out, the whole reply does not come within the
    // exchange's deadline (300 ms plus 1 ms for each of its 70 bytes).
    FakeController trickling([](const QByteArray& r) {
        FakeMemory memory;
        FakeController::Reply reply = memory.answer(r);
        reply.byteIntervalMs = 40;
        return reply;
    });
    TCommTask pool(300, 300);
    TNodarixVersion version{};
    QElapsedTimer exchange;
    exchange.start();
    EXPECT_EQ(waitEnd(pool, pool.AddTaskVersion(kHost, trickling.port(), true, kPass), &version), statResTimeOut);
    EXPECT_LT(exchange.elapsed(), 54 * 40);
    EXPECT_EQ(version.Version[0], 0);
}

TEST(Worker, ResultGoesOnlyToABufferOfTheStatedSize) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Memory m;
    m.memory.qpbVars.fill('\x11');
    TCommTask pool(2000, 2000);
    const auto poll = [&](qint32 id, void* buffer, std::size_t size) {
        TStatus s;
        while ((s = pool.GetTaskStatus(id, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       buffer, size)) == statWait ||
               s == statProgress)
            QThread::msleep(1);
        return s;
    };
    TNodarixVersion version{};
    EXPECT_EQ(poll(pool.AddTaskVersion(kHost, m.controller.port(), true, kPass), &version, sizeof version), STATRESOK);
    EXPECT_EQ(FieldText(version.Version, 6), QStringLiteral("V4.1.3"));
    // A caller that takes a 16640-byte read for its version task: its 38-byte buffer stays as it was.
    const qint32 mixedUp = pool.AddTaskConfQPBVarsRead(kHost, m.controller.port(), true, kPass);
    QByteArray buffer(kVersionSize + 1024, '\x77');
    EXPECT_DEBUG_DEATH(EXPECT_EQ(poll(mixedUp, buffer.data(), kVersionSize), STATRESOK), "does not fit");
    EXPECT_EQ(buffer, QByteArray(kVersionSize + 1024, '\x77'));
}

TEST(Worker, SilentControllerTimesOutAndUnreachableOneToo) {
    FakeController silent([](const QByteArray&) { return FakeController::Reply{}; });
    TCommTask pool(300, 300);
    const qint32 a = pool.AddTaskVersion(kHost, silent.port(), true, kPass);
    EXPECT_EQ(waitEnd(pool, a), statResTimeOut);
    quint16 closedPort;
    {
        FakeController gone([](const QByteArray&) { return FakeController::Reply{}; });
        closedPort = gone.port();
    }
    const qint32 b = pool.AddTaskHttpOn(kHost, closedPort, true, kPass);
    EXPECT_EQ(waitEnd(pool, b), statResTimeOut);
}

TEST(Worker, HostNameThatDoesNotResolveTimesOut) {
    // Only where no name server can be reached, so that no lookup leaves this machine.
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const auto& i : interfaces)
        if (!(i.flags() & QNetworkInterface::IsLoopBack) && (i.flags() & QNetworkInterface::IsUp))
            GTEST_SKIP() << "runs only inside a private network namespace";
    TCommTask pool(500, 500);
    const qint32 id = pool.AddTaskVersion(QStringLiteral("no-such-controller.invalid"), 7080, true, kPass);
    EXPECT_EQ(waitEnd(pool, id), statResTimeOut);
}

TEST(Worker, MalformedRepliesNeverOverrun) {
    const QList<QByteArray> replies = {
        QByteArray::fromHex("D5"),
        FakeController::frameWithLength(0xBA, 0, 65535, QByteArray(70000, 'x')),
        FakeController::frame(0xBA, 0, QByteArray(1000, 'y')),
        QByteArray(16, '\xFF'),
    };
    for (const QByteArray& bytes : replies) {
        FakeController controller([&](const QByteArray&) { return FakeController::Reply{bytes, true}; });
        TCommTask pool(300, 300);
        TNodarixVersion version{};
        const TStatus s = waitEnd(pool, pool.AddTaskVersion(kHost, controller.port(), true, kPass), &version);
        EXPECT_TRUE(s == statResTimeOut || s == statResUnkn || s == statResErr) << s;
        EXPECT_EQ(version.Version[0], 0);
    }
}

TEST(Pool, IdentifiersAndOneWorkerPerExactAddressAndPort) {
    TCommTask pool(100, 100);
    EXPECT_EQ(pool.GetTaskStatus(0), statFree);
    pool.CloseThreads();
    EXPECT_EQ(pool.AddTaskVersion(kHost, 1, true, kPass), 1);
    EXPECT_EQ(pool.AddTaskHttpOn(kHost, 1, true, kPass), 2);
    EXPECT_EQ(pool.AddTaskVersion(kHost, 2, false, kPass), 3);
    EXPECT_EQ(pool.AddTaskVersion(QStringLiteral("127.000.0.1"), 1, true, kPass), 4);
    EXPECT_EQ(pool.AddTaskVersion(QStringLiteral("LOCALHOST"), 1, true, kPass), 5);
    EXPECT_EQ(pool.AddTaskVersion(QStringLiteral("localhost"), 1, true, kPass), 6);
    EXPECT_EQ(pool.CommThreads.size(), 5u);
    EXPECT_FALSE(pool.CommThreads[1]->NodarixKeep.load());
    pool.AddTaskVersion(kHost, 2, true, kPass);
    EXPECT_TRUE(pool.CommThreads[1]->NodarixKeep.load()); // the latest caller's wish wins
    EXPECT_EQ(pool.GetTaskStatus(99), statFree);
}
