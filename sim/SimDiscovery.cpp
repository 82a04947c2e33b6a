#include "sim/SimDiscovery.h"

#include "sim/SimWire.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QRegularExpression>

namespace sim {

namespace {

constexpr std::uint8_t kMark = 0xD5;
constexpr char kName[] = "NodaRix";

// A text field of the answer: cut to its width, zero-filled.
void putText(QByteArray& payload, int offset, int width, const QByteArray& text) {
    payload.replace(offset, int(std::min<qsizetype>(text.size(), width)), text.left(width));
}

void putIPv4(QByteArray& payload, int offset, quint32 address) {
    for (int i = 0; i < 4; ++i)
        payload[offset + i] = char((address >> (24 - 8 * i)) & 0xFF);
}

void putLe16(QByteArray& payload, int offset, std::uint16_t value) {
    payload[offset] = char(value & 0xFF);
    payload[offset + 1] = char(value >> 8);
}

} // namespace

bool isDiscoveryRequest(const QByteArray& d) {
    return d.size() >= kDiscoveryRequestSize && std::uint8_t(d[0]) == kMark && d.mid(1, 7) == kName &&
           d.mid(12, 2) == "tx" && std::uint8_t(d[16]) == kMark && std::uint8_t(d[28]) == kDiscoveryCode;
}

QByteArray discoveryAnswer(const QByteArray& request, const DiscoveryIdentity& identity,
                           const DiscoveryAddressing& addressing) {
    QByteArray payload(kDiscoveryPayloadSize, '\0');
    putText(payload, 0, 6, identity.versionText);
    putText(payload, 6, 4, identity.realization);
    putText(payload, 10, 3, identity.edition);
    putText(payload, 13, 8, identity.serial);
    putText(payload, 21, 2, identity.language);
    payload[23] = char(identity.flags);
    for (int i = 0; i < 6; ++i)
        payload[24 + i] = char(identity.mac[size_t(i)]);
    putIPv4(payload, 30, addressing.netmask);
    putIPv4(payload, 34, 0); // no gateway
    putText(payload, 38, 16, identity.name);
    putLe16(payload, 54, 0);
    putLe16(payload, 56, identity.tcpPort);
    putIPv4(payload, 58, addressing.address);
    putIPv4(payload, 62, 0); // no name server

    QByteArray answer;
    answer.append(char(kMark)).append(kName, 7).append(request.mid(8, 4)).append("rx", 2).append(2, '\0');
    answer.append(replyFrame(kDiscoveryCode, 0, payload));
    return answer;
}

std::optional<std::array<std::uint8_t, 6>> parseMac(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([0-9A-Fa-f]{2})([-:]([0-9A-Fa-f]{2})){5}$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    std::array<std::uint8_t, 6> mac{};
    for (int i = 0; i < 6; ++i)
        mac[size_t(i)] = std::uint8_t(text.mid(3 * i, 2).toUInt(nullptr, 16));
    return mac;
}

SimDiscovery::SimDiscovery(DiscoveryIdentity identity_, QHostAddress tcpListen_)
    : identity(std::move(identity_)), tcpListen(std::move(tcpListen_)) {
    socket.setProxy(QNetworkProxy::NoProxy);
    QObject::connect(&socket, &QUdpSocket::readyRead, &socket, [this] { readPending(); });
}

bool SimDiscovery::start(quint16 port, QString* error) {
    // Shared, so that a tool scanning from the same computer can still bind its own listener.
    if (!socket.bind(QHostAddress::AnyIPv4, port, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        *error = socket.errorString();
        return false;
    }
    return true;
}

DiscoveryAddressing SimDiscovery::addressingFor(const QHostAddress& sender, int interfaceIndex) const {
    DiscoveryAddressing addressing;
    if (identity.advertised) {
        addressing.address = identity.advertised->toIPv4Address();
        return addressing;
    }
    const bool wildcard = tcpListen == QHostAddress::Any || tcpListen == QHostAddress::AnyIPv4;
    if (!wildcard) {
        addressing.address = tcpListen.toIPv4Address();
        return addressing;
    }
    // The interface the request arrived on: its address in the sender's subnet, else its first one.
    const QNetworkInterface arrival = QNetworkInterface::interfaceFromIndex(interfaceIndex);
    std::optional<QNetworkAddressEntry> chosen;
    for (const QNetworkAddressEntry& entry : arrival.addressEntries()) {
        if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        if (!chosen || sender.isInSubnet(entry.ip(), entry.prefixLength()))
            chosen = entry;
        if (sender.isInSubnet(entry.ip(), entry.prefixLength()))
            break;
    }
    if (chosen) {
        addressing.address = chosen->ip().toIPv4Address();
        addressing.netmask = chosen->netmask().toIPv4Address();
    }
    return addressing;
}

void SimDiscovery::readPending() {
    while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram request = socket.receiveDatagram();
        if (!isDiscoveryRequest(request.data()))
            continue;
        const QHostAddress sender(request.senderAddress().toIPv4Address());
        // Only to the asker, never broadcast: the answer goes where the request came from.
        socket.writeDatagram(discoveryAnswer(request.data(), identity,
                                             addressingFor(sender, int(request.interfaceIndex()))),
                             sender, quint16(request.senderPort()));
    }
}

} // namespace sim
