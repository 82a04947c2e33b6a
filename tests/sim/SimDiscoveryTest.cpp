// Discovery answers of the simulator, seen as datagrams on loopback.
#include "tests/support/SimProcess.h"

#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QThread>
#include <QUdpSocket>
#include <gtest/gtest.h>

namespace {

// A discovery request as a controller expects it, with a chosen request number and code.
QByteArray request(quint8 number, const char* direction = "tx", quint8 code = 0xC0) {
    QByteArray d;
    d.append('\xD5').append("NodaRix").append(3, '\0').append(char(number)).append(direction, 2).append(2, '\0');
    d.append("\xD5\x80\x0D", 3).append(4, '\0').append('\xF0').append(4, '\xFF').append(char(code)).append(3, '\0');
    return d;
}

quint16 discoveryPortOf(const SimProcess& sim) {
    static const QRegularExpression line(QStringLiteral("answering discovery on UDP port (\\d+)"));
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        const auto match = line.match(QString::fromUtf8(sim.log()));
        if (match.hasMatch())
            return quint16(match.captured(1).toUInt());
        QThread::msleep(10);
    }
    return 0;
}

class SimDiscovery : public ::testing::Test {
protected:
    SimProcess sim{{"--discovery", "--allow-non-loopback", "--discovery-port", "0", "--name", "Salon", "--mac",
                    "00-1A-2B-3C-4D-5E", "--edition", "QPB", "--serial", "12345678", "--language", "EN",
                    "--version-text", "V4.2.0"}};
    quint16 port = 0;
    QUdpSocket socket;

    void SetUp() override {
        ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
        port = discoveryPortOf(sim);
        ASSERT_NE(port, 0) << sim.log().toStdString();
        ASSERT_TRUE(socket.bind(QHostAddress::LocalHost, 0));
    }

    void send(const QByteArray& datagram) { socket.writeDatagram(datagram, QHostAddress::LocalHost, port); }

    QByteArray nextAnswer() {
        if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(5000))
            return {};
        return socket.receiveDatagram().data();
    }
};

TEST_F(SimDiscovery, AnswersWithItsIdentityAddressAndPort) {
    send(request(7));
    const QByteArray a = nextAnswer();
    ASSERT_EQ(a.size(), 98);
    EXPECT_EQ(a.left(16).toHex(), QByteArray("d54e6f646152697800000007" "7278" "0000"));
    EXPECT_EQ(a.mid(16, 16).toHex(), QByteArray("d5800d00000000f0ffffffffc0000042"));
    const QByteArray p = a.mid(32);
    EXPECT_EQ(p.left(6), QByteArray("V4.2.0"));
    EXPECT_EQ(p.mid(6, 4), QByteArray("QPB1"));
    EXPECT_EQ(p.mid(10, 3), QByteArray("QPB"));
    EXPECT_EQ(p.mid(13, 8), QByteArray("12345678"));
    EXPECT_EQ(p.mid(21, 2), QByteArray("EN"));
    EXPECT_EQ(p.mid(24, 6).toHex(), QByteArray("001a2b3c4d5e"));
    EXPECT_EQ(p.mid(38, 16), QByteArray("Salon").append(11, '\0'));
    EXPECT_EQ(quint8(p[56]) | quint8(p[57]) << 8, sim.port());
    EXPECT_EQ(p.mid(58, 4).toHex(), QByteArray("7f000001")); // the TCP listen address
}

TEST_F(SimDiscovery, OnlyDiscoveryRequestsAreAnswered) {
    send(request(1, "rx"));              // another controller's answer
    send(request(2, "tx", 0xAA));        // another exchange
    send(request(3).left(31));           // short
    send(QByteArray(request(4)).replace(1, 7, "Another"));
    send(QByteArray(request(5)).replace(16, 1, "\x00"));
    send(request(6));
    const QByteArray a = nextAnswer();
    ASSERT_EQ(a.size(), 98);
    EXPECT_EQ(quint8(a[11]), 6) << "the first answer must be the one to the only real request";
}

struct OptionCase {
    const char* name;
    QStringList args;
};

class SimDiscoveryOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(SimDiscoveryOptions, AreRefused) {
    const auto r = SimProcess::run(QStringList{"--port", "0", "--discovery-port", "0"} + GetParam().args);
    EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Sim, SimDiscoveryOptions,
    ::testing::Values(OptionCase{"WithoutAllowNonLoopback", {"--discovery"}},
                      OptionCase{"BadMac", {"--discovery", "--allow-non-loopback", "--mac", "00-1A-2B-3C-4D"}},
                      OptionCase{"LongName", {"--discovery", "--allow-non-loopback", "--name", "ABCDEFGHIJKLMNOPQ"}},
                      OptionCase{"Ipv6Advertised", {"--discovery", "--allow-non-loopback", "--advertise", "::1"}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
