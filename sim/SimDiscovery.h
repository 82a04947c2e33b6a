#pragma once
// The simulated controller's side of discovery: a UDP listener on port 7080 that answers every
// discovery request with the 98-byte answer a controller sends (identity, advertised address and
// TCP port). Written from what a controller must answer; it shares no code with the client.
#include <QByteArray>
#include <QHostAddress>
#include <QUdpSocket>
#include <array>
#include <cstdint>
#include <optional>

namespace sim {

inline constexpr quint16 kDiscoveryPort = 7080;
inline constexpr int kDiscoveryRequestSize = 32;
inline constexpr int kDiscoveryPayloadSize = 66;
inline constexpr std::uint8_t kDiscoveryCode = 0xC0;

// What the answer tells about the controller. Text fields are single-byte characters, cut or
// zero-filled to their width.
struct DiscoveryIdentity {
    QByteArray versionText = "V4.1.3"; // 6 bytes
    QByteArray realization = "QPA1";   // first 4 bytes
    QByteArray edition = "QPA";        // 3 bytes
    QByteArray serial = "00012345";    // 8 bytes
    QByteArray language = "PL";        // 2 bytes
    std::uint8_t flags = 0;
    std::array<std::uint8_t, 6> mac{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    QByteArray name = "nodarix-sim"; // at most 16 bytes
    std::uint16_t tcpPort = 7080;
    // Fixed: the answer's address is given (--advertise); otherwise it is chosen per request.
    std::optional<QHostAddress> advertised;
};

// The network details that differ per request: where the controller says it can be reached.
struct DiscoveryAddressing {
    quint32 address = 0; // IPv4, host order
    quint32 netmask = 0xFFFFFF00u;
};

// True for a datagram a controller treats as a discovery request ("tx", frame code 0xC0).
bool isDiscoveryRequest(const QByteArray& datagram);

// The 98-byte answer to `request` (its request number is echoed).
QByteArray discoveryAnswer(const QByteArray& request, const DiscoveryIdentity& identity,
                           const DiscoveryAddressing& addressing);

// Parses "00-1A-2B-3C-4D-5E" (or with ":"); nothing for any other text.
std::optional<std::array<std::uint8_t, 6>> parseMac(const QString& text);

class SimDiscovery {
public:
    // tcpListen: where the TCP side listens; a specific address is advertised as it is, the
    // wildcard lets each answer name the address of the interface the request arrived on.
    SimDiscovery(DiscoveryIdentity identity, QHostAddress tcpListen);

    // Binds UDP port `port` on all IPv4 addresses.
    bool start(quint16 port, QString* error);
    SimDiscovery(const SimDiscovery&) = delete;
    SimDiscovery& operator=(const SimDiscovery&) = delete;
    quint16 port() const { return socket.localPort(); }

private:
    void readPending();
    DiscoveryAddressing addressingFor(const QHostAddress& sender, int interfaceIndex) const;

    DiscoveryIdentity identity;
    QHostAddress tcpListen;
    QUdpSocket socket;
};

} // namespace sim
