#include "config/TextCodec.h"

#include <QLocale>
#include <algorithm>
#include <string>

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

void appendEscape(QString& out, unsigned byte) {
    out += QLatin1Char('\\');
    out += QLatin1Char(kHexDigits[(byte >> 4) & 0xF]);
    out += QLatin1Char(kHexDigits[byte & 0xF]);
}

bool scanNumber(QString& text, std::int32_t& value, int maxDigits, std::int64_t maximum, std::int64_t minimum,
                bool lenient, bool consume, int base) {
    value = 0;
    if (maxDigits < 1)
        return false;
    const int n = static_cast<int>(std::min<qsizetype>(maxDigits, text.size()));
    if (n == 0)
        return false;
    int collected = 0;
    std::int64_t number = 0;
    bool overflow = false;
    while (collected < n) {
        const QChar c = text.at(collected);
        const int d = base == 10 ? (IsDecDigit(c) ? c.unicode() - u'0' : -1) : HexDigitValue(c);
        if (d < 0) {
            if (!lenient || collected == 0)
                return false;
            break;
        }
        number = number * base + d;
        if (number > INT32_MAX) {
            overflow = true;
            number = INT32_MAX;
        }
        ++collected;
    }
    // Numbers that do not fit the 32-bit value do not convert.
    if (overflow || number < minimum || number > maximum)
        return false;
    value = static_cast<std::int32_t>(number);
    if (consume)
        text.remove(0, collected);
    return true;
}

// "d" decimal digits of v, with leading zeros.
QString digits(std::int64_t v, int d) {
    return QStringLiteral("%1").arg(v, d, 10, QLatin1Char('0'));
}

} // namespace

QString EncodeField(const std::uint8_t* bytes, int width, QStringView alsoEscape) {
    QString out;
    if (width <= 0)
        return out;
    out.reserve(width);
    for (int i = 0; i < width; ++i) {
        const std::uint8_t b = bytes[i];
        if (b == 0)
            break;
        if (b == 0x5C)
            out += QLatin1String("\\\\");
        else if (b == 0x60 || b < 0x20 || b >= 0x80 || alsoEscape.contains(QLatin1Char(static_cast<char>(b))))
            appendEscape(out, b);
        else
            out += QLatin1Char(static_cast<char>(b));
    }
    return out;
}

QString EncodeField(const char* bytes, int width, QStringView alsoEscape) {
    return EncodeField(reinterpret_cast<const std::uint8_t*>(bytes), width, alsoEscape);
}

void DecodeField(QStringView text, std::uint8_t* destination, int width) {
    int i = 0;
    qsizetype pos = 0;
    const qsizetype size = text.size();
    while (pos < size && i < width) {
        if (text[pos] != QLatin1Char('\\')) {
            destination[i] = static_cast<std::uint8_t>(text[pos].unicode() & 0xFF);
            pos += 1;
        } else if (pos + 1 < size && text[pos + 1] == QLatin1Char('\\')) {
            destination[i] = 0x5C;
            pos += 2;
        } else {
            const qsizetype avail = std::min<qsizetype>(2, size - pos - 1);
            int v = 0;
            bool ok = avail > 0;
            for (qsizetype k = 0; k < avail; ++k) {
                const int h = HexDigitValue(text[pos + 1 + k]);
                if (h < 0)
                    ok = false;
                v = v * 16 + (h < 0 ? 0 : h);
            }
            destination[i] = ok ? static_cast<std::uint8_t>(v) : 0;
            pos += 1 + avail;
        }
        ++i;
    }
    if (i < width)
        destination[i] = 0;
}

void DecodeField(QStringView text, char* destination, int width) {
    DecodeField(text, reinterpret_cast<std::uint8_t*>(destination), width);
}

QString TakeLine(const QString& text) {
    const qsizetype end = text.indexOf(QLatin1String("\r\n"));
    return end < 0 ? text : text.left(end);
}

void DropLine(QString& text) {
    const qsizetype end = text.indexOf(QLatin1String("\r\n"));
    if (end < 0)
        text.clear();
    else
        text.remove(0, end + 2);
}

bool IsDecDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}
void AppendHex2(QString& out, unsigned byte) {
    out += QLatin1Char(kHexDigits[(byte >> 4) & 0xF]);
    out += QLatin1Char(kHexDigits[byte & 0xF]);
}

int HexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool IsHexDigit(QChar c) {
    return HexDigitValue(c) >= 0;
}

bool ScanDecimal(QString& text, std::int32_t& value, int maxDigits, std::int64_t maximum,
                 std::int64_t minimum, bool lenient, bool consume) {
    return scanNumber(text, value, maxDigits, maximum, minimum, lenient, consume, 10);
}

bool ScanHex(QString& text, std::int32_t& value, int maxDigits, std::int64_t maximum, std::int64_t minimum,
             bool lenient, bool consume) {
    return scanNumber(text, value, maxDigits, maximum, minimum, lenient, consume, 16);
}

bool ExpectChar(QString& text, QChar ch, int position) {
    const qsizetype at = text.indexOf(ch);
    if (at < 0)
        return false;
    if (position != 0 && at + 1 != position)
        return false;
    text.remove(at, 1);
    return true;
}

QString FormatIP(const std::uint8_t* b) {
    return QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
}

bool ParseIP(QString text, std::uint8_t* b) {
    for (int i = 0; i < 4; ++i) {
        std::int32_t v = 0;
        if (i > 0 && !ExpectChar(text, QLatin1Char('.'), 1))
            return false;
        if (!ScanDecimal(text, v, 3, 255, 0, true, true))
            return false;
        b[i] = static_cast<std::uint8_t>(v);
    }
    return true;
}

QString FormatMAC(const std::uint8_t* b) {
    QString out;
    for (int i = 0; i < 6; ++i) {
        if (i > 0)
            out += QLatin1Char('-');
        out += QLatin1Char(kHexDigits[b[i] >> 4]);
        out += QLatin1Char(kHexDigits[b[i] & 0xF]);
    }
    return out;
}

bool ParseMAC(QString text, std::uint8_t* b) {
    for (int i = 0; i < 6; ++i) {
        std::int32_t v = 0;
        if (i > 0 && !ExpectChar(text, QLatin1Char('-'), 1))
            return false;
        if (!ScanHex(text, v, 2, 255, 0, false, true))
            return false;
        b[i] = static_cast<std::uint8_t>(v);
    }
    return true;
}

QString FormatBits(std::uint8_t x) {
    QString out;
    for (int n = 7; n >= 0; --n)
        if (x & (1u << n))
            out += QLatin1Char(static_cast<char>('0' + n));
    return out;
}

bool ParseBits(QStringView text, std::uint8_t& x) {
    unsigned bits = 0;
    for (QChar c : text) {
        if (c.unicode() < u'0' || c.unicode() > u'7')
            return false;
        bits |= 1u << (c.unicode() - u'0');
    }
    x = static_cast<std::uint8_t>(bits);
    return true;
}

QString FormatValue(std::int32_t v, int kind, QChar sep, bool plus) {
    const std::int64_t value = v;
    const std::int64_t m = value < 0 ? -value : value;
    if (kind == kValueTime) {
        const std::int64_t hours = m / 3600;
        return (value < 0 ? QStringLiteral("-") : QString()) +
               (hours < 100 ? digits(hours, 2) : QString::number(hours)) + QLatin1Char(':') +
               digits(m % 3600 / 60, 2) + QLatin1Char(':') + digits(m % 60, 2);
    }
    if (kind < kValueInteger || kind > kValueTenThousandths)
        return {};
    const int fracDigits = kind == kValueInteger ? 0 : (kind == kValueHundredths ? 2 : 4);
    const std::int64_t scale = kind == kValueInteger ? 1 : (kind == kValueHundredths ? 100 : 10000);
    QString out;
    if (value < 0)
        out += QLatin1Char('-');
    else if (value > 0 && plus)
        out += QLatin1Char('+');
    out += QString::number(m / scale);
    const std::int64_t f = m % scale;
    if (f != 0) {
        QString frac = digits(f, fracDigits);
        while (frac.endsWith(QLatin1Char('0')))
            frac.chop(1);
        out += sep;
        out += frac;
    }
    return out;
}

namespace {

// "hh:mm:ss" with an optional sign and two or more hour digits, so that every time the writer
// produces (negative ones and those of 30 hours or more included) reads back as written.
bool parseTime(QStringView text, std::int32_t& v) {
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == QLatin1Char('-') || text[0] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    const qsizetype colon = text.indexOf(QLatin1Char(':'), i);
    if (colon - i < 2 || text.size() - colon != 6 || text[colon + 3] != QLatin1Char(':'))
        return false;
    std::int64_t hours = 0;
    for (; i < colon; ++i) {
        if (!IsDecDigit(text[i]))
            return false;
        hours = std::min<std::int64_t>(hours * 10 + (text[i].unicode() - u'0'), std::int64_t{1} << 32);
    }
    const int limits[4] = {5, 9, 5, 9};
    const int positions[4] = {1, 2, 4, 5};
    int d[4];
    for (int k = 0; k < 4; ++k) {
        const QChar c = text[colon + positions[k]];
        if (!IsDecDigit(c) || c.unicode() - u'0' > limits[k])
            return false;
        d[k] = c.unicode() - u'0';
    }
    const std::int64_t seconds = hours * 3600 + (d[0] * 10 + d[1]) * 60 + d[2] * 10 + d[3];
    if (seconds > (negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1))
        return false;
    v = static_cast<std::int32_t>(negative ? -seconds : seconds);
    return true;
}

// A decimal number times 10^scaleExp, rounded half to even, computed on its digits so that no
// binary fraction shifts a value across a rounding boundary.
bool parseScaled(QStringView text, QChar localeSep, int scaleExp, std::int32_t& v) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        negative = text[i++] == QLatin1Char('-');
    std::string mantissa;
    std::int64_t fracLen = 0;
    bool seenSep = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (IsDecDigit(c)) {
            mantissa += static_cast<char>(c.unicode());
            if (seenSep)
                ++fracLen;
        } else if (!seenSep && (c == QLatin1Char('.') || c == localeSep)) {
            seenSep = true;
        } else {
            break;
        }
    }
    if (mantissa.empty())
        return false;
    std::int64_t exponent = 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            expNegative = text[i++] == QLatin1Char('-');
        const qsizetype start = i;
        for (; i < n && IsDecDigit(text[i]); ++i)
            exponent = std::min<std::int64_t>(exponent * 10 + (text[i].unicode() - u'0'), 1000000);
        if (i == start)
            return false;
        if (expNegative)
            exponent = -exponent;
    }
    if (i != n)
        return false;

    const std::size_t firstNonZero = mantissa.find_first_not_of('0');
    if (firstNonZero == std::string::npos) {
        v = 0;
        return true;
    }
    mantissa.erase(0, firstNonZero);
    const std::int64_t e = exponent - fracLen + scaleExp;
    const std::int64_t size = static_cast<std::int64_t>(mantissa.size());
    std::int64_t magnitude = 0;
    if (e >= 0) {
        if (size + e > 10)
            return false;
        for (char c : mantissa)
            magnitude = magnitude * 10 + (c - '0');
        for (std::int64_t k = 0; k < e; ++k)
            magnitude *= 10;
    } else {
        const std::int64_t dropped = -e;
        const std::int64_t kept = size - dropped;
        if (kept > 10)
            return false;
        // With kept < 0 every digit lies below the first dropped position: less than half, so 0.
        if (kept >= 0) {
            for (std::int64_t k = 0; k < kept; ++k)
                magnitude = magnitude * 10 + (mantissa[static_cast<std::size_t>(k)] - '0');
            // The first dropped digit decides; the ones after it only break a tie.
            const char first = mantissa[static_cast<std::size_t>(kept)];
            bool restNonZero = false;
            for (std::int64_t k = kept + 1; k < size && !restNonZero; ++k)
                restNonZero = mantissa[static_cast<std::size_t>(k)] != '0';
            if (first > '5' || (first == '5' && (restNonZero || (magnitude & 1))))
                ++magnitude;
        }
    }
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    if (magnitude > limit)
        return false;
    v = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
}

} // namespace

bool ParseValue(QStringView text, int kind, std::int32_t& v, QChar localeSeparator) {
    v = 0;
    switch (kind) {
    case kValueTime:
        return parseTime(text, v);
    case kValueInteger:
        return parseScaled(text, localeSeparator, 0, v);
    case kValueHundredths:
        return parseScaled(text, localeSeparator, 2, v);
    case kValueTenThousandths:
        return parseScaled(text, localeSeparator, 4, v);
    default:
        return true;
    }
}

bool ParseValue(QStringView text, int kind, std::int32_t& v) {
    // The system's decimal separator, looked up once.
    static const QChar separator = [] {
        const QString sep = QLocale::system().decimalPoint();
        return sep.size() == 1 ? sep.at(0) : QLatin1Char('.');
    }();
    return ParseValue(text, kind, v, separator);
}

QStringView TextBetween(QStringView text, QChar mark) {
    const qsizetype open = text.indexOf(mark);
    if (open < 0)
        return {};
    const qsizetype close = text.indexOf(mark, open + 1);
    return close < 0 ? text.mid(open + 1) : text.mid(open + 1, close - open - 1);
}
