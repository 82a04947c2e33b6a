#include "sim/ExtRecordText.h"

#include "sim/SimWire.h"

#include <QStringList>
#include <QTextStream>

namespace sim {

namespace {

// Record layout (little-endian inside).
constexpr int kOffInputMode = 0; // 3 bytes
constexpr int kOffRom1 = 3;      // 3 x 8 bytes
constexpr int kOffRom2 = 27;     // 3 x 8 bytes
constexpr int kOffPortMode = 51; // 4 bytes, ports 3..6
constexpr int kOffOutMap = 55;   // 8 bytes
constexpr int kOffSerialMode = 63;
constexpr int kOffSpeed = 64; // u16 LE
constexpr int kOffBits = 66;
constexpr int kOffParity = 67;
constexpr int kOffStops = 68;
constexpr int kOffModuleAddr = 69;
constexpr int kOffReserved = 70; // 96 bytes that are always zero

QString pick(const QStringList& names, int index) {
    if (index >= 0 && index < names.size())
        return names.at(index);
    return QStringLiteral("? (%1)").arg(index);
}

QString outputSource(int v) {
    if (v == 0)
        return QStringLiteral("off");
    if (v >= 1 && v <= 16)
        return QStringLiteral("DMX channel %1").arg(v);
    if (v >= 252)
        return QStringLiteral("PWM port %1").arg(v - 252 + 3);
    return QStringLiteral("? (%1)").arg(v);
}

} // namespace

QString describeExtRecord(int module, const QByteArray& record) {
    QString text;
    QTextStream out(&text);
    out << "extension module " << module << " (request code " << hex2(std::uint8_t(kReqExtFirst + module))
        << "), " << record.size() << " bytes\n";
    if (record.size() != kExtRecordSize) {
        out << "  not a " << kExtRecordSize << "-byte record\n";
        return text;
    }
    auto byte = [&](int at) { return int(std::uint8_t(record[at])); };
    static const QStringList inputModes = {"analog",
                                           "DS1990A identification",
                                           "DS18B20 temperature",
                                           "DHT11 temperature+humidity",
                                           "DHT22 temperature+humidity",
                                           "2 x DS18B20 temperature",
                                           "DS1990A identification (MP)"};
    for (int i = 0; i < 3; ++i) {
        out << "  input " << i + 1 << ": " << pick(inputModes, byte(kOffInputMode + i)) << ", ROM1 "
            << record.mid(kOffRom1 + 8 * i, 8).toHex().toUpper() << ", ROM2 "
            << record.mid(kOffRom2 + 8 * i, 8).toHex().toUpper() << '\n';
    }
    out << "  ports 3..6:";
    for (int i = 0; i < 4; ++i)
        out << ' ' << (byte(kOffPortMode + i) == 0 ? "io" : byte(kOffPortMode + i) == 1 ? "pwm" : "?");
    out << "\n  outputs 1..8:";
    for (int i = 0; i < 8; ++i)
        out << (i ? ", " : " ") << outputSource(byte(kOffOutMap + i));
    static const QStringList serialModes = {"controller port", "RS485", "DMX"};
    static const QStringList bits = {"7", "8"};
    static const QStringList parity = {"none", "even", "odd", "mark", "space"};
    static const QStringList stops = {"1", "1.5", "2"};
    out << "\n  serial: " << pick(serialModes, byte(kOffSerialMode)) << ", " << readLe16(record, kOffSpeed)
        << " baud, " << pick(bits, byte(kOffBits)) << " data bits, parity " << pick(parity, byte(kOffParity))
        << ", " << pick(stops, byte(kOffStops)) << " stop bits\n";
    out << "  programs the module as number " << byte(kOffModuleAddr) + 1 << " (address "
        << byte(kOffModuleAddr) << ")\n";
    const bool reservedZero = record.mid(kOffReserved).count('\0') == record.size() - kOffReserved;
    out << "  bytes 70..165: " << (reservedZero ? "all zero" : "NOT all zero") << '\n';
    out << "  raw: " << record.toHex().toUpper() << '\n';
    for (int at = 0; at < record.size(); at += 16)
        out << "  " << QString::number(at, 16).rightJustified(3, QLatin1Char('0')) << ": "
            << record.mid(at, 16).toHex(' ').toUpper() << '\n';
    return text;
}

} // namespace sim
