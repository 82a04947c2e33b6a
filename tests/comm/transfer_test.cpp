// Block transfers: addresses, extra exchanges, progress and result hand-over.
#include "comm/CommTask.h"
#include "tests/support/FakeController.h"

#include <QThread>

#include <functional>

#include <gtest/gtest.h>

namespace {

const QString kHost = QStringLiteral("127.0.0.1");
const QString kPass = QStringLiteral("x");

struct TransferCase {
    const char* name;
    TTaskType kind;
    int size;
    int blocks;
    quint8 blockCode;
    quint32 firstAddress;
    QList<quint8> extraFirst; // exchanges before block 0
    QList<quint8> extraLast;  // exchanges after the last block
    bool reading;
};

qint32 addTask(TCommTask& pool, quint16 port, TTaskType kind, const QByteArray& out) {
    const void* d = out.constData();
    switch (kind) {
    case taskConfQPASettRead: return pool.AddTaskConfQPASettRead(kHost, port, true, kPass);
    case taskConfQPASettSave: return pool.AddTaskConfQPASettSave(kHost, port, true, kPass, d);
    case taskConfQPATextRead: return pool.AddTaskConfQPATextRead(kHost, port, true, kPass);
    case taskConfQPATextSave: return pool.AddTaskConfQPATextSave(kHost, port, true, kPass, d);
    case taskConfQPBSettRead: return pool.AddTaskConfQPBSettRead(kHost, port, true, kPass);
    case taskConfQPBSettSave: return pool.AddTaskConfQPBSettSave(kHost, port, true, kPass, d);
    case taskConfQPBVarsRead: return pool.AddTaskConfQPBVarsRead(kHost, port, true, kPass);
    case taskConfQPBVarsSave: return pool.AddTaskConfQPBVarsSave(kHost, port, true, kPass, d);
    default: return pool.AddTaskFlashSave(kHost, port, true, kPass, d);
    }
}

QByteArray pattern(int size, int seed) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + seed + i / 256) & 0xFF);
    return b;
}

// The image a kind moves, as it sits in the fake controller's memory.
QByteArray& region(FakeMemory& m, const TransferCase& c, QByteArray& scratch) {
    if (c.blockCode == 0xA6 || c.blockCode == 0xA7)
        return m.qpbSettings;
    if (c.blockCode == 0xA8 || c.blockCode == 0xA9)
        return m.qpbVars;
    scratch = m.flash.mid(c.firstAddress, c.size);
    return scratch;
}

class Transfers : public ::testing::TestWithParam<TransferCase> {};

} // namespace

TEST_P(Transfers, AddressesExtraExchangesProgressAndData) {
    const TransferCase& c = GetParam();
    FakeMemory memory;
    memory.flash = pattern(1 << 19, 1);
    memory.qpbSettings = pattern(65536, 2);
    memory.qpbVars = pattern(16640, 3);
    FakeController controller([&](const QByteArray& r) { return memory.answer(r); });
    controller.enableGate();
    TCommTask pool(2000, 2000);

    QByteArray out = pattern(c.size, 9);
    const qint32 id = addTask(pool, controller.port(), c.kind, out);
    out.fill('\0'); // what is sent is the copy taken when the task was added

    // Step through the exchanges one by one and look at the progress after each.
    QList<int> progress;
    QByteArray result(c.size, '\0');
    const int exchanges = c.extraFirst.size() + c.blocks + c.extraLast.size();
    TStatus status = statWait;
    for (int n = 1; n <= exchanges; ++n) {
        controller.allow();
        if (n < exchanges) {
            ASSERT_TRUE(controller.waitForRequests(n + 1));
            quint8 p = 0;
            TTaskType kind{};
            status = pool.GetTaskStatus(id, &kind, &p);
            ASSERT_EQ(status, statProgress) << n;
            EXPECT_EQ(kind, c.kind);
            progress.append(p);
        }
    }
    while ((status = pool.GetTaskStatus(id, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        result.data())) == statProgress)
        QThread::msleep(1);
    ASSERT_EQ(status, STATRESOK);

    const QList<QByteArray> requests = controller.requests();
    ASSERT_EQ(requests.size(), exchanges);
    for (int i = 0; i < c.extraFirst.size(); ++i)
        EXPECT_EQ(RequestCode(requests[i]), c.extraFirst[i]);
    const QByteArray& firstBlock = requests[c.extraFirst.size()];
    const QByteArray& lastBlock = requests[c.extraFirst.size() + c.blocks - 1];
    EXPECT_EQ(RequestCode(firstBlock), c.blockCode);
    EXPECT_EQ(RequestAddress(firstBlock), c.firstAddress);
    EXPECT_EQ(RequestAddress(lastBlock), c.firstAddress + quint32(c.blocks - 1) * 256);
    for (int i = 0; i < c.extraLast.size(); ++i)
        EXPECT_EQ(RequestCode(requests[c.extraFirst.size() + c.blocks + i]), c.extraLast[i]);

    // Progress: 0 through the extra start, then blocks done * 100 div N, 100 at the end.
    QList<int> expected;
    for (int i = 0; i < c.extraFirst.size(); ++i)
        expected.append(0);
    for (int done = 1; done < c.blocks + c.extraLast.size(); ++done)
        expected.append(done >= c.blocks ? 100 : done * 100 / c.blocks);
    EXPECT_EQ(progress, expected);

    QByteArray scratch;
    const QByteArray& stored = region(memory, c, scratch);
    if (c.reading)
        EXPECT_EQ(result, stored);
    else
        EXPECT_EQ(stored, pattern(c.size, 9));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Transfers,
    ::testing::Values(
        TransferCase{"QpaSettingsRead", taskConfQPASettRead, 8192, 32, 0xA0, 0x600, {0xAF}, {}, true},
        TransferCase{"QpaSettingsSave", taskConfQPASettSave, 8192, 32, 0xA1, 0x600, {}, {0xAC}, false},
        TransferCase{"QpaTextsRead", taskConfQPATextRead, 32768, 128, 0xA0, 0x2900, {}, {}, true},
        TransferCase{"QpaTextsSave", taskConfQPATextSave, 32768, 128, 0xA1, 0x2900, {}, {}, false},
        TransferCase{"QpbSettingsRead", taskConfQPBSettRead, 65536, 256, 0xA6, 0, {}, {}, true},
        TransferCase{"QpbSettingsSave", taskConfQPBSettSave, 65536, 256, 0xA7, 0, {}, {0xAC}, false},
        TransferCase{"QpbVarsRead", taskConfQPBVarsRead, 16640, 65, 0xA8, 0, {}, {}, true},
        TransferCase{"QpbVarsSave", taskConfQPBVarsSave, 16640, 65, 0xA9, 0, {}, {}, false},
        TransferCase{"FlashSave", taskFlashSave, 524288, 2048, 0xA1, 0, {}, {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Transfers, FailureAtTenthBlockKeepsProgressAndCopiesNothing) {
    FakeMemory memory;
    memory.qpbVars = pattern(16640, 4);
    int count = 0;
    FakeController controller([&](const QByteArray& r) {
        auto reply = memory.answer(r);
        if (++count == 10) // the echo of the previous block
            reply.bytes.replace(16, 3, QByteArray::fromHex("000800"));
        return reply;
    });
    TCommTask pool(2000, 2000);
    const qint32 id = pool.AddTaskConfQPBVarsRead(kHost, controller.port(), true, kPass);
    QByteArray result(16640, '\x11');
    quint8 progres = 0, last = 0;
    TStatus s;
    while ((s = pool.GetTaskStatus(id, nullptr, &progres, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   result.data())) == statWait ||
           s == statProgress) {
        EXPECT_GE(progres, last);
        last = progres;
        QThread::msleep(1);
    }
    EXPECT_EQ(s, statResErr);
    EXPECT_EQ(progres, 9 * 100 / 65);
    EXPECT_EQ(result, QByteArray(16640, '\x11'));
    EXPECT_EQ(pool.GetTaskStatus(id), statFree);
}

TEST(Transfers, ExtensionRecordCodeAndAcknowledgements) {
    struct Case {
        quint8 no;
        quint8 ackResult;
        quint8 expectedCode;
        TStatus expected;
    };
    for (const Case& c : {Case{2, 1, 0x22, STATRESOK}, Case{5, 1, 0x21, STATRESOK}, Case{0, 0, 0x20, statResErr},
                          Case{3, 2, 0x23, statResUnkn}}) {
        FakeController controller(
            [&](const QByteArray&) { return FakeController::Reply{FakeController::frame(0x08, c.ackResult, {}), false}; });
        TCommTask pool(2000, 2000);
        const QByteArray record = pattern(166, 5);
        const qint32 id = pool.AddTaskExtSave(kHost, controller.port(), true, kPass, c.no, record.constData());
        TStatus s;
        while ((s = pool.GetTaskStatus(id)) == statWait || s == statProgress)
            QThread::msleep(1);
        EXPECT_EQ(s, c.expected);
        const QByteArray request = controller.requests().value(0);
        EXPECT_EQ(request.size(), 182);
        EXPECT_EQ(RequestCode(request), c.expectedCode);
        EXPECT_EQ(request.mid(16), record);
        // Acknowledgements keep the connection: a second task needs no new connection.
        const qint32 again = pool.AddTaskExtSave(kHost, controller.port(), true, kPass, c.no, record.constData());
        while ((s = pool.GetTaskStatus(again)) == statWait || s == statProgress)
            QThread::msleep(1);
        EXPECT_EQ(controller.connectionCount(), 1);
    }
}

TEST(Transfers, RestartClosesConnectionAndReportsSuccess) {
    FakeMemory memory;
    FakeController controller([&](const QByteArray& r) { return memory.answer(r); });
    TCommTask pool(2000, 2000);
    const qint32 id = pool.AddTaskUpdate(kHost, controller.port(), true, kPass);
    TStatus s;
    while ((s = pool.GetTaskStatus(id)) == statWait || s == statProgress)
        QThread::msleep(1);
    EXPECT_EQ(s, STATRESOK);
    EXPECT_EQ(RequestCode(controller.requests().value(0)), frame::kRestart);
}
