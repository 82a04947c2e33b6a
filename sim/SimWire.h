#pragma once
// What the simulated controller knows of the wire: frame header layout, request and reply codes,
// byte-order helpers and the password hash. Written from the controller's side on purpose; the
// simulator shares no code with the client so that a fault on one side is not mirrored by the other.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace sim {

inline constexpr int kHeaderSize = 16;
inline constexpr int kAddressSize = 3;
inline constexpr int kBlockSize = 256;
inline constexpr int kExtRecordSize = 166;
inline constexpr int kVersionRecordSize = 38;
inline constexpr int kModuleCount = 4;

// Header offsets.
inline constexpr int kOffHash = 3;
inline constexpr int kOffFixedF0 = 7;
inline constexpr int kOffFixedFF = 8;
inline constexpr int kOffCode = 12;
inline constexpr int kOffArgument = 13;
inline constexpr int kOffLength = 14;

enum Code : std::uint8_t {
    kReqVersion = 0xAA,
    kRepVersion = 0xBA,
    kReqQpaReadStart = 0xAF,
    kRepQpaReadStart = 0xBF,
    kReqFlashRead = 0xA0, // QPA settings and texts live in the flash area
    kRepFlashRead = 0xB0,
    kReqFlashWrite = 0xA1,
    kRepFlashWrite = 0xB1,
    kReqQpbSettRead = 0xA6,
    kRepQpbSettRead = 0xB6,
    kReqQpbSettWrite = 0xA7,
    kRepQpbSettWrite = 0xB7,
    kReqQpbVarsRead = 0xA8,
    kRepQpbVarsRead = 0xB8,
    kReqQpbVarsWrite = 0xA9,
    kRepQpbVarsWrite = 0xB9,
    kReqWriteEnd = 0xAC,
    kRepWriteEnd = 0xBE,
    kReqRestart = 0xAD,
    kReqExtFirst = 0x20, // 0x20 + module number 0..3
    kReqExtLast = 0x23,
    kRepAck = 0x08,
    kReqHttpOn = 0xE1,
    kRepHttpOn = 0xF1,
    kReqHttpOff = 0xE0,
    kRepHttpOff = 0xF0,
};

inline bool isExtRequest(std::uint8_t code) {
    return code >= kReqExtFirst && code <= kReqExtLast;
}

inline std::uint32_t readBe16(const QByteArray& b, int at) {
    return (std::uint32_t(std::uint8_t(b[at])) << 8) | std::uint8_t(b[at + 1]);
}
inline std::uint32_t readBe24(const QByteArray& b, int at) {
    return (std::uint32_t(std::uint8_t(b[at])) << 16) | (std::uint32_t(std::uint8_t(b[at + 1])) << 8) |
           std::uint8_t(b[at + 2]);
}
inline std::uint32_t readBe32(const QByteArray& b, int at) {
    return (readBe16(b, at) << 16) | readBe16(b, at + 2);
}
inline std::uint16_t readLe16(const QByteArray& b, int at) {
    return std::uint16_t(std::uint8_t(b[at]) | (std::uint8_t(b[at + 1]) << 8));
}
inline void appendBe16(QByteArray& b, std::uint32_t v) {
    b.append(char((v >> 8) & 0xFF));
    b.append(char(v & 0xFF));
}
inline void appendBe24(QByteArray& b, std::uint32_t v) {
    b.append(char((v >> 16) & 0xFF));
    appendBe16(b, v);
}
inline void appendBe32(QByteArray& b, std::uint32_t v) {
    appendBe16(b, v >> 16);
    appendBe16(b, v);
}

// The 32-bit hash of the control password a request carries: the first 16 characters (low byte
// of each UTF-16 unit) in a zero-filled 16-byte buffer, run as four little-endian words through
// the MPEG-2 CRC-32 (polynomial 0x04C11DB7, start all ones, no reflection, no final inversion).
std::uint32_t passwordHash(const QString& password);

// CRC-32/MPEG-2 over bytes, used to guard the state file.
std::uint32_t crc32Mpeg2(const QByteArray& data, std::uint32_t crc = 0xFFFFFFFFu);

// A reply frame: signature, zero hash, the fixed bytes, code, argument, big-endian length, payload.
QByteArray replyFrame(std::uint8_t code, std::uint8_t argument, const QByteArray& payload);

// Payload length a request with this code must carry, or nothing for a code the controller does
// not know.
std::optional<int> requestPayloadLength(std::uint8_t code);

// What the front of a client's byte stream holds.
struct RequestCut {
    enum Kind { NeedMore, Bad, Frame } kind = NeedMore;
    QString bad;            // Bad: why the stream cannot go on (the connection is closed)
    std::uint8_t code = 0;  // Frame: the request
    std::uint32_t hash = 0; // Frame: the password hash it carries
    QByteArray payload;     // Frame: exactly the payload its code requires
    int size = 0;           // Frame: bytes the request takes from the front of the stream
};

// Cuts the first request from `stream`. A header is judged as soon as its 16 bytes are there, so
// a bad one is refused without waiting for a payload it may announce.
RequestCut cutRequest(const QByteArray& stream);

// Short name of a request code for the log ("version", "flash-read", ...).
QString requestName(std::uint8_t code);

QString hex2(std::uint8_t v);
QString hex6(std::uint32_t v);

} // namespace sim
