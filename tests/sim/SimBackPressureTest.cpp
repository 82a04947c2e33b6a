// A client that sends requests without reading the replies meets back-pressure: the simulator
// answers one request at a time and stops reading while its replies wait unsent, so its memory
// stays bounded, and every reply still arrives once the client reads.
#include "tests/sim/RawLink.h"
#include "tests/support/SimProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace rawlink;

namespace {

// AddressSanitizer keeps freed memory in its quarantine, so a process's resident memory says nothing
// about what it holds: the growth is measured by the plain build only.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentMemoryMeasurable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kResidentMemoryMeasurable = false;
#else
constexpr bool kResidentMemoryMeasurable = true;
#endif
#else
constexpr bool kResidentMemoryMeasurable = true;
#endif

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
    // A plain socket: the client reads nothing at all until it is told to.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    const int smallBuffer = 64 * 1024; // unread replies wait in the simulator rather than in this client
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &smallBuffer, sizeof smallBuffer);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(sim.port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to), 0);
    const qint64 before = residentKb(sim.pid());
    ASSERT_GT(before, 0);

    // 200,000 settings block reads: 3.8 MB of requests asking for 55 MB of replies.
    constexpr int kRequests = 200000;
    constexpr qint64 kReplySize = 16 + 259;
    const QByteArray requests = request(0xA6, address(0)).repeated(kRequests);
    qint64 sent = 0;
    const auto sendSome = [&](int waitMs) {
        pollfd p{fd, POLLOUT, 0};
        if (sent < requests.size() && ::poll(&p, 1, waitMs) > 0) {
            const ssize_t n = ::send(fd, requests.constData() + sent, size_t(requests.size() - sent), MSG_DONTWAIT);
            if (n > 0)
                sent += n;
        }
    };
    // Send until everything is out or the simulator has taken nothing more for half a second,
    // then give it the same time to answer what it took.
    QElapsedTimer stalled;
    stalled.start();
    while (sent < requests.size() && stalled.elapsed() < 500) {
        const qint64 had = sent;
        sendSome(50);
        if (sent != had)
            stalled.restart();
    }
    QThread::msleep(500);
    const qint64 grown = residentKb(sim.pid()) - before;
    if (kResidentMemoryMeasurable) {
        EXPECT_LT(grown, 10 * 1024) << "kB";
    }
    RecordProperty("grown_kB", int(grown));

    // Nothing was lost: reading now brings every reply.
    qint64 received = 0;
    QByteArray last;
    char chunk[65536];
    while (received < kRequests * kReplySize) {
        sendSome(0);
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            break;
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        received += n;
        last = (last + QByteArray(chunk, int(n))).right(int(kReplySize));
    }
    ::close(fd);
    EXPECT_EQ(sent, requests.size());
    EXPECT_EQ(received, kRequests * kReplySize);
    ASSERT_EQ(last.size(), kReplySize);
    EXPECT_EQ(code(last), 0xB6);
    EXPECT_EQ(last.mid(16, 3), address(0));
}
