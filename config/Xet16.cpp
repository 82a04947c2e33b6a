#include "config/Xet16.h"

#include "config/TextCodec.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// A decimal integer as the edit boxes take it: optional blanks around, optional sign, ASCII digits.
// The value is kept exactly up to a cap, so that any number of digits compares correctly.
struct Decimal {
    bool negative = false;
    quint64 magnitude = 0; // capped at kCap
    quint16 low16 = 0;     // the value's low 16 bits (two's complement for negative values)
    static constexpr quint64 kCap = 1ull << 40;
};

std::optional<Decimal> readDecimal(const QString& text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    Decimal d;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
        d.negative = t[i] == u'-';
        ++i;
    }
    if (i == t.size())
        return std::nullopt;
    quint32 mod = 0;
    for (; i < t.size(); ++i) {
        const char16_t u = t[i].unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        const unsigned digit = u - u'0';
        d.magnitude = std::min(d.magnitude * 10 + digit, Decimal::kCap);
        mod = (mod * 10 + digit) % 65536;
    }
    d.low16 = static_cast<quint16>(d.negative ? (65536 - mod) % 65536 : mod);
    return d;
}

bool inList(int position, int size) {
    return position >= 0 && position < size;
}

} // namespace

std::uint16_t Xet16Speed(const TXet16& record) {
    return static_cast<std::uint16_t>(record.S_Speed[0] | (record.S_Speed[1] << 8));
}

void SetXet16Speed(TXet16& record, std::uint16_t speed) {
    record.S_Speed[0] = static_cast<std::uint8_t>(speed & 0xFF);
    record.S_Speed[1] = static_cast<std::uint8_t>(speed >> 8);
}

std::uint8_t Xet16OutputSourceValue(int position) {
    // Positions 17 to 20 are the PWM ports 3 to 6, which the module knows as 252 to 255.
    return static_cast<std::uint8_t>(position <= 16 ? position : position - 17 + 252);
}

std::array<std::uint8_t, 8> Xet16RomCode(const QString& text) {
    QString t = text;
    if (t.size() < 16)
        t += QString(16 - t.size(), u'0');
    std::array<std::uint8_t, 8> rom{};
    for (int k = 0; k < 8; ++k) {
        const int hi = HexDigitValue(t[2 * k]);
        const int lo = HexDigitValue(t[2 * k + 1]);
        rom[k] = (hi < 0 || lo < 0) ? 0 : static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return rom;
}

bool Xet16RomTextExact(const QString& text) {
    if (text.size() > 16)
        return false;
    for (QChar c : text)
        if (HexDigitValue(c) < 0)
            return false;
    return true;
}

TXet16Request BuildXet16(const TXet16Choices& c) {
    TXet16Request r;
    std::memset(&r.Record, 0, sizeof r.Record);

    bool listsOk = inList(c.SerialMode, kXet16SerialModes) && inList(c.DataBits, kXet16DataBits) &&
                   inList(c.Parity, kXet16Parities) && inList(c.StopBits, kXet16StopBits) &&
                   inList(c.ProgramAs, kXet16Modules) && inList(c.Module, kXet16Modules);
    for (int m : c.InputMode)
        listsOk = listsOk && inList(m, kXet16InputModes);
    for (int m : c.PortMode)
        listsOk = listsOk && inList(m, kXet16PortModes);
    for (int s : c.OutputSource)
        listsOk = listsOk && inList(s, kXet16OutputSources);
    if (!listsOk) {
        r.Refusal = TXet16Refusal::ChoiceOutOfRange;
        return r;
    }

    TXet16& x = r.Record;
    for (int n = 0; n < kXet16Inputs; ++n) {
        x.A_PortMode[n] = static_cast<std::uint8_t>(c.InputMode[n]);
        const auto rom1 = Xet16RomCode(c.Rom1[n]);
        const auto rom2 = Xet16RomCode(c.Rom2[n]);
        std::memcpy(x.DS18B20_Rom1[n], rom1.data(), rom1.size());
        std::memcpy(x.DS18B20_Rom2[n], rom2.data(), rom2.size());
        r.RomDefaulted = r.RomDefaulted || !Xet16RomTextExact(c.Rom1[n]) || !Xet16RomTextExact(c.Rom2[n]);
    }
    for (int p = 0; p < kXet16Ports; ++p)
        x.D_PortMode[p] = static_cast<std::uint8_t>(c.PortMode[p]);
    for (int o = 0; o < kXet16Outputs; ++o)
        x.A_OutMap[o] = Xet16OutputSourceValue(c.OutputSource[o]);

    x.S_PortMode = static_cast<std::uint8_t>(c.SerialMode);
    if (const auto speed = readDecimal(c.Speed)) {
        if ((speed->negative && speed->magnitude != 0) || speed->magnitude > 65535) {
            r.Refusal = TXet16Refusal::SpeedOutOfRange;
            return r;
        }
        SetXet16Speed(x, speed->low16);
    } else {
        SetXet16Speed(x, kXet16DefaultSpeed);
        r.SpeedDefaulted = true;
    }
    x.S_Bits = static_cast<std::uint8_t>(c.DataBits);
    x.S_Parity = static_cast<std::uint8_t>(c.Parity);
    x.S_Stops = static_cast<std::uint8_t>(c.StopBits);
    x.I2CAddr = static_cast<std::uint8_t>(c.ProgramAs);

    if (const auto port = readDecimal(c.PortText)) {
        r.Port = port->low16;
    } else {
        r.Port = kXet16DefaultPort;
        r.PortDefaulted = true;
    }
    r.Host = c.Host;
    r.Password = c.Password;
    r.No = static_cast<quint8>(c.Module);
    return r;
}
