// Discovery: the request bytes, the judging and reading of answers, and the entry list.
#include "comm/CommUdp.h"
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/DiscoveryAnswer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QUdpSocket>

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include <gtest/gtest.h>

namespace {

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<QCoreApplication>);

QByteArray answer(const QByteArray& name = "Salon", quint16 port = 7080, const QByteArray& address = "\xC0\xA8\x01\x14") {
    return DiscoveryAnswer(name, port, address);
}

const QHostAddress kPeer(QStringLiteral("10.77.0.2"));

} // namespace

TEST(DiscoveryRequest, Bytes) {
    EXPECT_EQ(udp::DiscoveryRequest().toHex(),
              QByteArray("d54e6f6461526978000000007478" "0000" "d5800d00000000f0ffffffffc0000000"));
}

TEST(DiscoveryAnswer, FieldsOfACompleteAnswer) {
    const auto fields = udp::ParseDiscoveryAnswer(answer());
    ASSERT_TRUE(fields);
    ASSERT_EQ(fields->size(), 14);
    EXPECT_EQ(fields->at(0), QStringLiteral("V4.1.3"));
    EXPECT_EQ(fields->at(2), QStringLiteral("QPB"));
    EXPECT_EQ(fields->at(5), QStringLiteral("0_2_____"));
    EXPECT_EQ(fields->at(6), QStringLiteral("00-1A-2B-3C-4D-5E"));
    EXPECT_EQ(fields->at(7), QStringLiteral("255.255.255.0"));
    EXPECT_EQ(fields->at(9), QStringLiteral("Salon"));
    EXPECT_EQ(fields->at(10), QStringLiteral("1"));
    EXPECT_EQ(fields->at(11), QStringLiteral("7080"));
    EXPECT_EQ(fields->at(12), QStringLiteral("192.168.1.20"));
    EXPECT_EQ(fields->at(13), QStringLiteral("8.8.8.8"));
    // Raw fields keep their zero bytes: all 2 bytes of field 4, all 8 of field 3.
    EXPECT_EQ(fields->at(3).size(), 8);
}

TEST(DiscoveryAnswer, NameUpToZeroOrSixteenCharacters) {
    EXPECT_EQ(udp::ParseDiscoveryAnswer(answer("AB"))->at(9), QStringLiteral("AB"));
    EXPECT_EQ(udp::ParseDiscoveryAnswer(answer("ABCDEFGHIJKLMNOP"))->at(9), QStringLiteral("ABCDEFGHIJKLMNOP"));
}

struct Refused {
    const char* name;
    QByteArray datagram;
};

class DiscoveryAnswerRefused : public ::testing::TestWithParam<Refused> {};

TEST_P(DiscoveryAnswerRefused, IsIgnored) { EXPECT_FALSE(udp::ParseDiscoveryAnswer(GetParam().datagram)); }

INSTANTIATE_TEST_SUITE_P(
    Datagrams, DiscoveryAnswerRefused,
    ::testing::Values(Refused{"Empty", {}}, Refused{"OneShort", answer().left(97)},
                      Refused{"HeaderOnly", answer().left(32)},
                      Refused{"AnotherComputersScan", udp::DiscoveryRequest()},
                      Refused{"TxDirection", QByteArray(answer()).replace(12, 2, "tx")},
                      Refused{"ForeignName", QByteArray(answer()).replace(1, 7, "Another")},
                      Refused{"NoMark", QByteArray(answer()).replace(0, 1, "\x00")},
                      Refused{"NoFrameMark", QByteArray(answer()).replace(16, 1, "\x00")},
                      Refused{"OtherCode", QByteArray(answer()).replace(28, 1, "\xC1")},
                      Refused{"LengthBeyondDatagram", QByteArray(answer()).replace(30, 2, "\x00\x43")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommUdp, EntriesAndFieldLookup) {
    TCommUdp udp;
    udp.HandleDatagram(answer("Kuchnia", 7081, QByteArray::fromHex("0A4D0002")), kPeer);
    udp.HandleDatagram(QByteArray("foreign"), kPeer);
    udp.HandleDatagram(answer("Salon", 7080), kPeer);
    ASSERT_EQ(udp.ScanCount(), 2);
    EXPECT_EQ(udp.GetScanParam(0, 12), QStringLiteral("10.77.0.2"));
    EXPECT_EQ(udp.GetScanParam(0, 11), QStringLiteral("7081"));
    EXPECT_EQ(udp.GetScanParam(1, 13), QStringLiteral("8.8.8.8"));
    EXPECT_EQ(udp.GetScanParam(-1, 12), QString());
    EXPECT_EQ(udp.GetScanParam(2, 12), QString());
    EXPECT_EQ(udp.GetScanParam(0, 14), QString());
    EXPECT_EQ(udp.Entries().at(1).count(QLatin1Char(';')), 13);
    EXPECT_TRUE(udp.Entries().at(1).endsWith(QStringLiteral(";192.168.1.20;8.8.8.8")));
}

// A name holding ";" would shift the later fields of the entry text; the lookup keeps the
// fields as they were parsed, so the address and port stay right.
TEST(CommUdp, SemicolonInNameKeepsAddressAndPort) {
    TCommUdp udp;
    udp.HandleDatagram(answer("Dom;Garaz", 7082), kPeer);
    ASSERT_EQ(udp.ScanCount(), 1);
    EXPECT_EQ(udp.GetScanParam(0, 9), QStringLiteral("Dom;Garaz"));
    EXPECT_EQ(udp.GetScanParam(0, 11), QStringLiteral("7082"));
    EXPECT_EQ(udp.GetScanParam(0, 12), QStringLiteral("192.168.1.20"));
    EXPECT_TRUE(udp.Entries().at(0).contains(QStringLiteral(";Dom;Garaz;")));
}

TEST(CommUdp, OwnBroadcastIsDroppedAndScanEmptiesTheList) {
    TCommUdp udp;
    udp.HandleDatagram(answer(), QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(udp.ScanCount(), 0);
    udp.HandleDatagram(answer(), kPeer);
    EXPECT_EQ(udp.ScanCount(), 1);
    // A scan broadcasts: only where this process sees no address but loopback.
    for (const QHostAddress& own : QNetworkInterface::allAddresses())
        if (!own.isLoopback())
            GTEST_SKIP() << "a scan would broadcast from " << own.toString().toStdString();
    udp.ScanNodarixs();
    EXPECT_EQ(udp.ScanCount(), 0);
}

// Moves the calling thread into a network namespace of its own (loopback only) for its lifetime, so
// that no other test's socket on port 7080 takes the datagrams sent here; back again on destruction.
class PrivateNetwork {
public:
    PrivateNetwork() {
        original = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        if (original < 0 || ::unshare(CLONE_NEWNET) != 0)
            return;
        entered = true;
        ready = loopbackUp();
    }
    ~PrivateNetwork() {
        if (entered)
            ::setns(original, CLONE_NEWNET);
        if (original >= 0)
            ::close(original);
    }
    PrivateNetwork(const PrivateNetwork&) = delete;
    PrivateNetwork& operator=(const PrivateNetwork&) = delete;
    bool ready = false;

private:
    // Brings the new namespace's loopback up from this thread, without starting a process (which
    // ThreadSanitizer's runtime cannot do from a threaded program).
    static bool loopbackUp() {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        ifreq request{};
        std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
        bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
        if (up) {
            request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
            up = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
        }
        ::close(fd);
        return up;
    }

    int original = -1;
    bool entered = false;
};

// An answer sent to an own address arrives on that address's sender, which stays open after the
// scan; a new scan started from the answer's signal must not pull that sender away mid-delivery.
TEST(CommUdp, AnswerToAnOwnAddressAfterAScanAndARescanFromItsSignal) {
    const PrivateNetwork network;
    if (!network.ready)
        GTEST_SKIP() << "no network namespace of its own can be made here (not root)";
    TCommUdp udp;
    udp.ScanNodarixs();
    int answers = 0;
    QObject::connect(&udp, &TCommUdp::answerReceived, &udp, [&] {
        if (++answers == 1)
            udp.ScanNodarixs();
    });
    // 127.0.0.2 is loopback but not an own address as listed, so its answers are not dropped.
    QUdpSocket controller;
    controller.setProxy(QNetworkProxy::NoProxy);
    ASSERT_TRUE(controller.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    const auto answerAndWait = [&](int expected) {
        controller.writeDatagram(answer(), QHostAddress::LocalHost, udp::kDiscoveryPort);
        QDeadlineTimer deadline(5000);
        while (answers < expected && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    };
    answerAndWait(1);
    ASSERT_EQ(answers, 1);
    EXPECT_EQ(udp.ScanCount(), 0) << "the rescan empties the list";
    answerAndWait(2);
    ASSERT_EQ(answers, 2);
    EXPECT_EQ(udp.ScanCount(), 1);
    EXPECT_EQ(udp.GetScanParam(0, 9), QStringLiteral("Salon"));
}
