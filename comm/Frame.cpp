#include "comm/Frame.h"

#include <cstring>

QString StatusText(TStatus s) {
    switch (s) {
    case statFree:
        return QStringLiteral("Brak zadania.");
    case statWait:
        return QStringLiteral("Oczekiwanie...");
    case statProgress:
        return QStringLiteral("W toku...");
    case statResTimeOut:
        return QStringLiteral("Błąd: nodarix nie odpowiada.");
    case statResUnkn:
    case statResErr:
        return QStringLiteral("Błąd: błąd komunikacji ze nodarix-em.");
    case STATRESOK:
        return QStringLiteral("OK.");
    }
    return QStringLiteral("Błąd: błąd komunikacji ze nodarix-em.");
}

QString FieldText(const char* field, std::size_t size) {
    const void* zero = std::memchr(field, 0, size);
    const auto length = zero ? static_cast<const char*>(zero) - field : static_cast<std::ptrdiff_t>(size);
    return QString::fromLatin1(field, length);
}

namespace frame {

std::uint32_t PasswordHash(const QString& password) {
    std::uint8_t buffer[16] = {};
    const int count = std::min<int>(static_cast<int>(password.size()), 16);
    for (int i = 0; i < count; ++i)
        buffer[i] = static_cast<std::uint8_t>(password.at(i).unicode() & 0xFF);
    std::uint32_t value = 0xFFFFFFFFu;
    for (int k = 0; k < 4; ++k) {
        const std::uint32_t word = std::uint32_t(buffer[4 * k]) | std::uint32_t(buffer[4 * k + 1]) << 8 |
                                   std::uint32_t(buffer[4 * k + 2]) << 16 | std::uint32_t(buffer[4 * k + 3]) << 24;
        value ^= word;
        for (int bit = 0; bit < 32; ++bit)
            value = (value & 0x80000000u) ? (value << 1) ^ 0x04C11DB7u : value << 1;
    }
    return value;
}

QByteArray BuildRequest(std::uint8_t code, std::uint32_t passHash, const QByteArray& payload) {
    Q_ASSERT(payload.size() <= kMaxPayload);
    QByteArray out;
    out.reserve(kHeaderSize + payload.size());
    for (auto b : kSignature)
        out.append(static_cast<char>(b));
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(static_cast<char>((passHash >> shift) & 0xFF));
    out.append(static_cast<char>(0xF0));
    out.append(4, static_cast<char>(0xFF));
    out.append(static_cast<char>(code));
    out.append('\0');
    out.append(static_cast<char>((payload.size() >> 8) & 0xFF));
    out.append(static_cast<char>(payload.size() & 0xFF));
    out.append(payload);
    return out;
}

QByteArray BlockAddress(std::uint32_t address) {
    QByteArray out(3, '\0');
    out[0] = static_cast<char>((address >> 16) & 0xFF);
    out[1] = static_cast<char>((address >> 8) & 0xFF);
    out[2] = static_cast<char>(address & 0xFF);
    return out;
}

int AnnouncedLength(const QByteArray& header) {
    if (header.size() < kHeaderSize)
        return 0;
    return (static_cast<std::uint8_t>(header[14]) << 8) | static_cast<std::uint8_t>(header[15]);
}

Verdict JudgeReply(const QByteArray& reply, const ExpectedReply& expected) {
    const auto byte = [&](int i) { return static_cast<std::uint8_t>(reply[i]); };
    if (reply.size() != kHeaderSize + expected.payloadLength)
        return {statResUnkn, false};

    const TStatus headerFault = expected.headerFaultIsUnknown ? statResUnkn : statResErr;
    bool headerOk = byte(0) == kSignature[0] && byte(1) == kSignature[1] && byte(2) == kSignature[2] &&
                    byte(12) == expected.code && AnnouncedLength(reply) == expected.payloadLength;
    if (!expected.acknowledgement)
        headerOk = headerOk && byte(13) == 0;
    if (headerOk && expected.addressEcho)
        headerOk = reply.mid(kHeaderSize, 3) == *expected.addressEcho;
    if (!headerOk)
        return {headerFault, false};

    if (expected.acknowledgement) {
        switch (byte(13)) {
        case 1:
            break;
        case 0:
            return {statResErr, true};
        default:
            return {statResUnkn, true};
        }
    }
    return {STATRESOK, true};
}

} // namespace frame
