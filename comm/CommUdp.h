#pragma once
// TCommUdp: finds controllers on the local networks. One discovery request is broadcast from
// port 7080 of each own IPv4 address; every answer that arrives on port 7080 becomes one entry.
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QUdpSocket;

namespace udp {

constexpr quint16 kDiscoveryPort = 7080;
constexpr int kOuterHeaderSize = 16;
constexpr int kAnswerPayloadSize = 66;
constexpr int kAnswerSize = 32 + kAnswerPayloadSize; // 98 bytes
constexpr int kEntryFieldCount = 14;
constexpr quint8 kDiscoveryCode = 0xC0;

// The 32-byte discovery request: outer header ("tx") and a frame header with hash 0 and code 0xC0.
QByteArray DiscoveryRequest();

// The fourteen field texts of a discovery answer, or nothing when the datagram is not a complete
// discovery answer (foreign, a request, too short, another code).
std::optional<QStringList> ParseDiscoveryAnswer(const QByteArray& datagram);

} // namespace udp

class TCommUdp : public QObject {
    Q_OBJECT
public:
    explicit TCommUdp(QObject* parent = nullptr);
    ~TCommUdp() override;

    // Empties the list and broadcasts the request; answers arrive later on the UI thread.
    void ScanNodarixs();
    qint32 ScanCount() const;
    // Field Param (from 0) of entry Index; empty text outside the list or the entry's fields.
    QString GetScanParam(qint32 Index, qint32 Param) const;

    // The receive handler's work for one datagram (public so that it can be fed without a network).
    void HandleDatagram(const QByteArray& datagram, const QHostAddress& sender);

    // Entry texts, one per answer in order of arrival, the fourteen fields joined by ";".
    const QStringList& Entries() const { return Nodarixs; }

signals:
    // An answer was appended as entry Index.
    void answerReceived(qint32 Index);

private:
    void readPending(QUdpSocket& socket);

    std::unique_ptr<QUdpSocket> IdUDPServer;
    // One sender per own address, bound to that address and port 7080. Each stays open until the
    // next scan: an answer sent to that address arrives on its sender rather than on the listener,
    // and a fast one would be lost if the sender closed right after sending.
    std::vector<std::unique_ptr<QUdpSocket>> IdUDPClient;
    QStringList Nodarixs;
    // The own addresses as texts, listed when created and at each scan: the broadcast that comes
    // back follows a scan, and listing the interfaces for every datagram would cost the UI thread.
    QStringList ownAddressTexts;
    // The fields of each entry as parsed: a name holding ";" must not shift the address and port.
    std::vector<QStringList> entryFields;
};
