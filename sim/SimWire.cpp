#include "sim/SimWire.h"

#include <array>

namespace sim {

namespace {

constexpr std::uint32_t kPoly = 0x04C11DB7u;

std::uint32_t shiftBits(std::uint32_t value, int bits) {
    for (int i = 0; i < bits; ++i)
        value = (value & 0x80000000u) ? (value << 1) ^ kPoly : (value << 1);
    return value;
}

const std::array<std::uint32_t, 256>& byteTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i)
            t[i] = shiftBits(i << 24, 8);
        return t;
    }();
    return table;
}

} // namespace

std::uint32_t passwordHash(const QString& password) {
    std::array<std::uint8_t, 16> buffer{};
    const int n = std::min<int>(16, int(password.size()));
    for (int i = 0; i < n; ++i)
        buffer[size_t(i)] = std::uint8_t(password.at(i).unicode() & 0xFF);
    std::uint32_t value = 0xFFFFFFFFu;
    for (size_t k = 0; k < 4; ++k) {
        const std::uint32_t word = std::uint32_t(buffer[4 * k]) | (std::uint32_t(buffer[4 * k + 1]) << 8) |
                                   (std::uint32_t(buffer[4 * k + 2]) << 16) |
                                   (std::uint32_t(buffer[4 * k + 3]) << 24);
        value = shiftBits(value ^ word, 32);
    }
    return value;
}

std::uint32_t crc32Mpeg2(const QByteArray& data, std::uint32_t crc) {
    const auto& table = byteTable();
    for (char c : data)
        crc = (crc << 8) ^ table[((crc >> 24) ^ std::uint8_t(c)) & 0xFF];
    return crc;
}

QByteArray replyFrame(std::uint8_t code, std::uint8_t argument, const QByteArray& payload) {
    QByteArray frame;
    frame.reserve(kHeaderSize + payload.size());
    frame.append(char(0xD5));
    frame.append(char(0x80));
    frame.append(char(0x0D));
    appendBe32(frame, 0);
    frame.append(char(0xF0));
    appendBe32(frame, 0xFFFFFFFFu);
    frame.append(char(code));
    frame.append(char(argument));
    appendBe16(frame, std::uint32_t(payload.size()));
    frame.append(payload);
    return frame;
}

std::optional<int> requestPayloadLength(std::uint8_t code) {
    switch (code) {
    case kReqVersion:
    case kReqQpaReadStart:
    case kReqWriteEnd:
    case kReqRestart:
    case kReqHttpOn:
    case kReqHttpOff:
        return 0;
    case kReqFlashRead:
    case kReqQpbSettRead:
    case kReqQpbVarsRead:
        return kAddressSize;
    case kReqFlashWrite:
    case kReqQpbSettWrite:
    case kReqQpbVarsWrite:
        return kAddressSize + kBlockSize;
    default:
        if (isExtRequest(code))
            return kExtRecordSize;
        return std::nullopt;
    }
}

RequestCut cutRequest(const QByteArray& b) {
    RequestCut cut;
    if (b.size() < kHeaderSize)
        return cut;
    const std::uint8_t code = std::uint8_t(b[kOffCode]);
    std::optional<int> expectedLength;
    if (std::uint8_t(b[0]) != 0xD5 || std::uint8_t(b[1]) != 0x80 || std::uint8_t(b[2]) != 0x0D) {
        cut.bad = QStringLiteral("bad signature %1").arg(QString::fromLatin1(b.left(3).toHex(' ')));
    } else if (std::uint8_t(b[kOffFixedF0]) != 0xF0 || readBe32(b, kOffFixedFF) != 0xFFFFFFFFu) {
        cut.bad =
            QStringLiteral("bad fixed header bytes %1").arg(QString::fromLatin1(b.mid(7, 5).toHex(' ')));
    } else if (!(expectedLength = requestPayloadLength(code))) {
        cut.bad = QStringLiteral("unknown request code %1").arg(hex2(code));
    } else if (b[kOffArgument] != 0) {
        cut.bad = QStringLiteral("argument byte %1 in request %2, expected 0")
                      .arg(hex2(std::uint8_t(b[kOffArgument])), hex2(code));
    } else if (int(readBe16(b, kOffLength)) != *expectedLength) {
        cut.bad = QStringLiteral("request %1 announces %2 payload bytes, expected %3")
                      .arg(hex2(code))
                      .arg(readBe16(b, kOffLength))
                      .arg(*expectedLength);
    }
    if (!cut.bad.isEmpty()) {
        cut.kind = RequestCut::Bad;
        return cut;
    }
    const int total = kHeaderSize + *expectedLength;
    if (b.size() < total)
        return cut;
    cut.kind = RequestCut::Frame;
    cut.code = code;
    cut.hash = readBe32(b, kOffHash);
    cut.payload = b.mid(kHeaderSize, *expectedLength);
    cut.size = total;
    return cut;
}

QString requestName(std::uint8_t code) {
    switch (code) {
    case kReqVersion:
        return QStringLiteral("version");
    case kReqQpaReadStart:
        return QStringLiteral("qpa-read-start");
    case kReqFlashRead:
        return QStringLiteral("flash-read");
    case kReqFlashWrite:
        return QStringLiteral("flash-write");
    case kReqQpbSettRead:
        return QStringLiteral("qpb-settings-read");
    case kReqQpbSettWrite:
        return QStringLiteral("qpb-settings-write");
    case kReqQpbVarsRead:
        return QStringLiteral("qpb-vars-read");
    case kReqQpbVarsWrite:
        return QStringLiteral("qpb-vars-write");
    case kReqWriteEnd:
        return QStringLiteral("write-end");
    case kReqRestart:
        return QStringLiteral("restart");
    case kReqHttpOn:
        return QStringLiteral("http-on");
    case kReqHttpOff:
        return QStringLiteral("http-off");
    default:
        if (isExtRequest(code))
            return QStringLiteral("ext-module-%1").arg(code - kReqExtFirst);
        return QStringLiteral("unknown");
    }
}

QString hex2(std::uint8_t v) {
    return QStringLiteral("0x") + QString::number(v, 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

QString hex6(std::uint32_t v) {
    return QStringLiteral("0x") +
           QString::number(v & 0xFFFFFFu, 16).rightJustified(6, QLatin1Char('0')).toUpper();
}

} // namespace sim
