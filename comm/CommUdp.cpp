#include "comm/CommUdp.h"

#include "comm/Frame.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QUdpSocket>

namespace udp {

namespace {

constexpr char kName[] = "NodaRix";
constexpr quint8 kMark = 0xD5;

quint8 byteAt(const QByteArray& data, int offset) { return static_cast<quint8>(data.at(offset)); }

// Each byte becomes the character of the same code, zero bytes included.
QString rawText(const QByteArray& payload, int offset, int size) { return QString::fromLatin1(payload.mid(offset, size)); }

QString dotted(const QByteArray& payload, int offset) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(byteAt(payload, offset))
        .arg(byteAt(payload, offset + 1))
        .arg(byteAt(payload, offset + 2))
        .arg(byteAt(payload, offset + 3));
}

QString littleEndian16(const QByteArray& payload, int offset) {
    return QString::number(byteAt(payload, offset) | byteAt(payload, offset + 1) << 8);
}

QString bits(quint8 value) {
    QString text;
    for (int bit = 0; bit < 8; ++bit)
        text += (value & (1u << bit)) ? QChar(u'0' + bit) : QChar(u'_');
    return text;
}

QString mac(const QByteArray& payload, int offset) {
    QStringList parts;
    for (int i = 0; i < 6; ++i)
        parts << QStringLiteral("%1").arg(byteAt(payload, offset + i), 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char('-'));
}

QString name(const QByteArray& payload, int offset) {
    const QByteArray field = payload.mid(offset, 16);
    const int zero = field.indexOf('\0');
    return QString::fromLatin1(zero < 0 ? field : field.left(zero));
}

} // namespace

QByteArray DiscoveryRequest() {
    QByteArray request;
    request.append(static_cast<char>(kMark));
    request.append(kName, 7);
    request.append(4, '\0'); // request number 0
    request.append("tx", 2);
    request.append(2, '\0');
    request.append(frame::BuildRequest(kDiscoveryCode, 0));
    return request;
}

std::optional<QStringList> ParseDiscoveryAnswer(const QByteArray& datagram) {
    if (datagram.size() < 32 || byteAt(datagram, 0) != kMark || datagram.mid(1, 7) != kName ||
        datagram.mid(12, 2) != "rx")
        return std::nullopt;
    const int payloadLength = byteAt(datagram, 30) << 8 | byteAt(datagram, 31);
    if (datagram.size() < 32 + payloadLength || byteAt(datagram, 16) != kMark)
        return std::nullopt;
    if (byteAt(datagram, 28) != kDiscoveryCode || datagram.size() < kAnswerSize)
        return std::nullopt;
    const QByteArray payload = datagram.mid(32, kAnswerPayloadSize);
    return QStringList{rawText(payload, 0, 6),  rawText(payload, 6, 4),  rawText(payload, 10, 3),
                       rawText(payload, 13, 8), rawText(payload, 21, 2), bits(byteAt(payload, 23)),
                       mac(payload, 24),        dotted(payload, 30),     dotted(payload, 34),
                       name(payload, 38),       littleEndian16(payload, 54), littleEndian16(payload, 56),
                       dotted(payload, 58),     dotted(payload, 62)};
}

} // namespace udp

namespace {

QList<QHostAddress> ownIPv4Addresses() {
    QList<QHostAddress> own;
    for (const QHostAddress& address : QNetworkInterface::allAddresses())
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            own << address;
    return own;
}

QStringList texts(const QList<QHostAddress>& addresses) {
    QStringList list;
    for (const QHostAddress& address : addresses)
        list << address.toString();
    return list;
}

std::unique_ptr<QUdpSocket> makeSocket() {
    auto socket = std::make_unique<QUdpSocket>();
    socket->setProxy(QNetworkProxy::NoProxy);
    return socket;
}

// The listener and the senders share port 7080, so all bind with address reuse.
constexpr auto kBindMode = QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;

} // namespace

TCommUdp::TCommUdp(QObject* parent) : QObject(parent), IdUDPServer(makeSocket()) {
    connect(IdUDPServer.get(), &QUdpSocket::readyRead, this, [this] { readPending(*IdUDPServer); });
    // A port that is taken leaves the listener inactive: the scan then finds nothing.
    IdUDPServer->bind(QHostAddress::AnyIPv4, udp::kDiscoveryPort, kBindMode);
    ownAddressTexts = texts(ownIPv4Addresses());
}

TCommUdp::~TCommUdp() = default;

void TCommUdp::ScanNodarixs() {
    Nodarixs.clear();
    entryFields.clear();
    // The previous scan's senders may be delivering a datagram right now (a scan started from an
    // answer's signal): closed at once, released once that delivery has returned.
    for (auto& previous : IdUDPClient) {
        previous->close();
        previous.release()->deleteLater();
    }
    IdUDPClient.clear();
    const QByteArray request = udp::DiscoveryRequest();
    const QList<QHostAddress> own = ownIPv4Addresses();
    ownAddressTexts = texts(own);
    for (const QHostAddress& address : own) {
        // An address from which the broadcast cannot leave is skipped.
        auto sender = makeSocket();
        if (!sender->bind(address, udp::kDiscoveryPort, kBindMode))
            continue;
        QUdpSocket& socket = *sender;
        connect(&socket, &QUdpSocket::readyRead, this, [this, &socket] { readPending(socket); });
        socket.writeDatagram(request, QHostAddress::Broadcast, udp::kDiscoveryPort);
        IdUDPClient.push_back(std::move(sender));
    }
}

qint32 TCommUdp::ScanCount() const { return static_cast<qint32>(Nodarixs.size()); }

QString TCommUdp::GetScanParam(qint32 Index, qint32 Param) const {
    if (Index < 0 || Index >= ScanCount() || Param < 0)
        return {};
    const QStringList& fields = entryFields[static_cast<size_t>(Index)];
    return Param < fields.size() ? fields.at(Param) : QString();
}

void TCommUdp::HandleDatagram(const QByteArray& datagram, const QHostAddress& sender) {
    // Our own broadcast comes back to the listener; it is dropped by its sender address.
    if (ownAddressTexts.contains(QHostAddress(sender.toIPv4Address()).toString()))
        return;
    auto fields = udp::ParseDiscoveryAnswer(datagram);
    if (!fields)
        return;
    Nodarixs << fields->join(QLatin1Char(';'));
    entryFields.push_back(std::move(*fields));
    emit answerReceived(ScanCount() - 1);
}

void TCommUdp::readPending(QUdpSocket& socket) {
    while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket.receiveDatagram();
        HandleDatagram(datagram.data(), datagram.senderAddress());
    }
}
