#pragma once
// A deliberately tiny client for talking raw bytes to the simulator: its own request builder and
// hash, nothing from the client library, so a shared mistake cannot pass unnoticed.
#include <QByteArray>
#include <QCoreApplication>
#include <QTcpSocket>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace rawlink {

// Request frame: signature, hash (big-endian), F0, FF FF FF FF, code, argument, length, payload.
inline QByteArray request(std::uint8_t code, const QByteArray& payload = {}, std::uint32_t hash = 0,
                          std::uint8_t argument = 0) {
    QByteArray f;
    f.append("\xD5\x80\x0D", 3);
    for (int shift = 24; shift >= 0; shift -= 8)
        f.append(char((hash >> shift) & 0xFF));
    f.append(char(0xF0));
    f.append(4, char(0xFF));
    f.append(char(code));
    f.append(char(argument));
    f.append(char((payload.size() >> 8) & 0xFF));
    f.append(char(payload.size() & 0xFF));
    return f + payload;
}

inline QByteArray address(std::uint32_t a) {
    QByteArray b;
    b.append(char((a >> 16) & 0xFF));
    b.append(char((a >> 8) & 0xFF));
    b.append(char(a & 0xFF));
    return b;
}

// The password hash computed the other way round from the simulator: CRC-32/MPEG-2 fed bytewise
// over the 16-byte buffer with the bytes of each 4-byte group reversed.
inline std::uint32_t hashOf(const QString& password) {
    unsigned char buf[16] = {};
    for (int i = 0; i < 16 && i < password.size(); ++i)
        buf[i] = static_cast<unsigned char>(password.at(i).unicode() & 0xFF);
    std::uint32_t crc = 0xFFFFFFFFu;
    for (int group = 0; group < 4; ++group) {
        for (int k = 3; k >= 0; --k) {
            crc ^= std::uint32_t(buf[group * 4 + k]) << 24;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
    }
    return crc;
}

inline QByteArray pattern(int size, int seed) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + seed * 31 + (i >> 8)) & 0xFF);
    return b;
}

// One blocking connection. Needs a QCoreApplication.
class Link {
public:
    bool open(quint16 port, int timeoutMs = 3000) {
        m_port = port;
        m_socket = std::make_unique<QTcpSocket>();
        m_socket->connectToHost(QStringLiteral("127.0.0.1"), port);
        return m_socket->waitForConnected(timeoutMs);
    }
    quint16 peerPort() const { return m_port; }
    QAbstractSocket::SocketError error() const { return m_socket->error(); }

    void send(const QByteArray& bytes) {
        m_socket->write(bytes);
        while (m_socket->bytesToWrite() > 0 && m_socket->waitForBytesWritten(3000)) {
        }
    }

    // Exactly n bytes, or what arrived before the time-out or the end of the connection.
    QByteArray readExactly(int n, int timeoutMs = 3000) {
        QByteArray got;
        while (got.size() < n) {
            if (m_socket->bytesAvailable() == 0 && !m_socket->waitForReadyRead(timeoutMs))
                break;
            got += m_socket->read(n - got.size());
        }
        return got;
    }

    // One reply frame: 16 header bytes, then as many payload bytes as its length field says.
    // Nothing when the header does not arrive in time.
    std::optional<QByteArray> reply(int timeoutMs = 3000) {
        QByteArray header = readExactly(16, timeoutMs);
        if (header.size() < 16)
            return std::nullopt;
        const int length = (std::uint8_t(header[14]) << 8) | std::uint8_t(header[15]);
        const QByteArray payload = readExactly(length, timeoutMs);
        if (payload.size() < length)
            return std::nullopt;
        return header + payload;
    }

    std::optional<QByteArray> exchange(const QByteArray& req, int timeoutMs = 3000) {
        send(req);
        return reply(timeoutMs);
    }

    // True when the peer closes the connection within the time (nothing else arriving first).
    bool closedByPeer(int timeoutMs = 3000) {
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            return true;
        while (m_socket->waitForReadyRead(timeoutMs)) {
            if (!m_socket->readAll().isEmpty())
                return false;
        }
        return m_socket->state() != QAbstractSocket::ConnectedState ||
               m_socket->error() == QAbstractSocket::RemoteHostClosedError;
    }

    // True when nothing arrives for the whole time and the connection stays open.
    bool silentFor(int ms) {
        if (m_socket->waitForReadyRead(ms))
            return false;
        return m_socket->state() == QAbstractSocket::ConnectedState;
    }

private:
    std::unique_ptr<QTcpSocket> m_socket;
    quint16 m_port = 0;
};

inline std::uint8_t code(const QByteArray& frame) {
    return std::uint8_t(frame.at(12));
}
inline std::uint8_t argument(const QByteArray& frame) {
    return std::uint8_t(frame.at(13));
}
inline int lengthField(const QByteArray& frame) {
    return (std::uint8_t(frame[14]) << 8) | std::uint8_t(frame[15]);
}

} // namespace rawlink
