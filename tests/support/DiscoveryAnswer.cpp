#include "tests/support/DiscoveryAnswer.h"

QByteArray DiscoveryAnswer(const QByteArray& name, quint16 port, const QByteArray& address) {
    QByteArray d;
    d.append('\xD5').append("NodaRix").append("\0\0\0\x07", 4).append("rx").append(2, '\0');
    d.append("\xD5\x80\x0D", 3).append(4, '\0').append('\xF0').append(4, '\xFF').append('\xC0').append('\0');
    d.append('\0').append('\x42'); // payload length 66
    QByteArray p(66, '\0');
    p.replace(0, 6, "V4.1.3");
    p.replace(6, 4, "F405");
    p.replace(10, 3, "QPB");
    p.replace(13, 8, "12345678");
    p.replace(21, 2, "PL");
    p[23] = '\x05';
    p.replace(24, 6, QByteArray::fromHex("001A2B3C4D5E"));
    p.replace(30, 4, QByteArray::fromHex("FFFFFF00"));
    p.replace(34, 4, QByteArray::fromHex("C0A80101"));
    p.replace(38, name.size() > 16 ? 16 : name.size(), name.left(16));
    p[54] = '\x01';
    p[56] = static_cast<char>(port & 0xFF);
    p[57] = static_cast<char>(port >> 8);
    p.replace(58, 4, address);
    p.replace(62, 4, QByteArray::fromHex("08080808"));
    return d + p;
}
