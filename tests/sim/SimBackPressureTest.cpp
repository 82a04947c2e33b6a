// A client that sends requests without reading the replies meets back-pressure: the simulator
// answers one request at a time and stops reading while its replies wait unsent, so its memory
// stays bounded, and every reply still arrives once the client reads.
#include "tests/sim/RawLink.h"
#include "tests/support/SimProcess.h"

#include <QFile>
#include <QTcpSocket>

#include <gtest/gtest.h>

using namespace rawlink;

namespace {

// Resident memory of a process in kB.
qint64 residentKb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

} // namespace

TEST(SimBackPressure, ClientThatNeverReadsKeepsTheSimulatorSmall) {
    SimProcess sim({"--edition", "QPB"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    QTcpSocket client;
    client.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    ASSERT_TRUE(client.waitForConnected(3000));
    client.setReadBufferSize(1024); // the client itself collects (almost) nothing while it sends
    const qint64 before = residentKb(sim.pid());
    ASSERT_GT(before, 0);

    // 200,000 settings block reads: 3.8 MB of requests asking for 55 MB of replies.
    constexpr int kRequests = 200000;
    const QByteArray oneRequest = request(0xA6, address(0));
    const int replySize = 16 + 259;
    client.write(oneRequest.repeated(kRequests));
    // Push until the simulator takes no more for a while.
    while (client.bytesToWrite() > 0 && client.waitForBytesWritten(500)) {
    }
    const qint64 grown = residentKb(sim.pid()) - before;
    EXPECT_LT(grown, 10 * 1024) << "kB";

    // Nothing was lost: reading now brings every reply.
    client.setReadBufferSize(0);
    qint64 received = 0;
    QByteArray last;
    while (received < qint64(kRequests) * replySize) {
        if (client.bytesAvailable() == 0 && !client.waitForReadyRead(5000))
            break;
        const QByteArray chunk = client.readAll();
        received += chunk.size();
        last = (last + chunk).right(replySize);
        if (client.bytesToWrite() > 0)
            client.waitForBytesWritten(0);
    }
    EXPECT_EQ(received, qint64(kRequests) * replySize);
    ASSERT_EQ(last.size(), replySize);
    EXPECT_EQ(code(last), 0xB6);
    EXPECT_EQ(last.mid(16, 3), address(0));
}
