#pragma once
// A fully populated configuration text of either edition, built from the macro catalogue: every
// cell holds a kind with all instances wired and parameterised, every circuit the logic uses is
// named with an alias, every settings field, text and variable is set. Names, aliases and texts
// hold the characters that need escaping. Shared by the file-level tests and the benchmark.
#include "config/MacroCatalogue.h"
#include "config/Records.h"
#include "config/TextCodec.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace testcfg {

inline QString hex2(int n) {
    return QStringLiteral("%1").arg(n, 2, 16, QLatin1Char('0')).toUpper();
}

inline QString escaped(const QByteArray& bytes, int width, QStringView alsoEscape = {}) {
    QByteArray b = bytes.left(width);
    b.append(QByteArray(width - b.size(), '\0'));
    return EncodeField(reinterpret_cast<const std::uint8_t*>(b.constData()), width, alsoEscape);
}

struct PopulatedOptions {
    bool qpb = true;
    bool eightInstanceKindsOnly = false; // the benchmark's "64 cells of 8 instances"
};

// The kinds a populated image uses: those with a code in the edition's numbering, old kinds left out.
inline std::vector<const MacroKind*> populatedKinds(const PopulatedOptions& o) {
    std::vector<const MacroKind*> kinds;
    const Numbering numbering = o.qpb ? Numbering::QPB : Numbering::NewQPA;
    for (const MacroKind& k : macroCatalogue()) {
        if (k.oldKind || k.code(numbering) == 0)
            continue;
        if (o.eightInstanceKindsOnly && k.instances != 8)
            continue;
        kinds.push_back(&k);
    }
    return kinds;
}

inline QString populatedText(const PopulatedOptions& o) {
    const int cells = o.qpb ? 64 : 40;
    const int textWidth = o.qpb ? 256 : 32;
    const int poolSize = o.qpb ? 50 : 24; // text parameters and aliases each; both fit the text table
    const int analogLabels = 31;
    const int analogLines = o.qpb ? 253 : 31;
    const QLatin1String crlf("\r\n");

    QStringList textPool;
    QStringList aliasPool;
    for (int i = 0; i < poolSize; ++i) {
        QByteArray t = "Txt " + QByteArray::number(i) + " back\\slash `tick` \xE9t\xE9";
        if (i % 5 == 0)
            t += "\r\n\t";
        if (i == 1)
            t = QByteArray(textWidth, 'F'); // fills the entry, no NUL
        textPool << escaped(t, textWidth);
        // Aliases hold their line's delimiters; the writer escapes them.
        aliasPool << escaped("Alias " + QByteArray::number(i) + " \"q\" 'a' !x! `g`", textWidth, u"\"'!`");
    }
    const char* const varValues[4][3] = {{"07:30:00", "22:15:00", "00:00:30"},
                                         {"5", "-12", "1000"},
                                         {"1.5", "-12.35", "200.75"},
                                         {"1.0005", "-0.5", "10"}};
    const char* const options[] = {"",       "~",       "#", "/",    "\\",        "|",
                                   "^1.5;0", "m2;0.5~", "f", "g1;1", "^^^0.25;3", "|^^^^^^^^^^^^12;0.01~"};

    QString out = QStringLiteral("#version=V4.1.0") + (o.qpb ? "QPB" : "QPA") + "C" + crlf;
    out += QLatin1String(
        "#settings\r\n\tip_0=192.168.1.20\r\n\tip_1=255.255.255.0\r\n\tip_2=192.168.1.1\r\n"
        "\tip_3=8.8.8.8\r\n\tip_4=1.1.1.1\r\n\tmac=00-1A-2B-3C-4D-5E\r\n"
        "\tnetname=Dom\\E9 \\60g\\60 \\\\\r\n\ttext16_0=8052\r\n\ttext16_1=SixteenCharsLong\r\n"
        "\ttext16_2=pop=pass\r\n\ttext16_3=smtp\\0D\\0A\r\n\ttext32_0=pool.ntp.org\r\n"
        "\ttext32_1=pop.example.net\r\n\ttext32_2=user\r\n\ttext32_3=smtp.example.net\r\n"
        "\ttext32_4=ThirtyTwoCharactersFillTheField!\r\n\tnumer16_0=80\r\n\tnumer16_1=7080\r\n"
        "\tnumer16_2=110\r\n\tnumer16_3=25\r\n\tnumer16_4=5\r\n\tnumer16_5=65535\r\n"
        "\tnumer16_6=9600\r\n\tnumer8_0=8\r\n\tnumer8_1=1\r\n\tnumer8_2=255\r\n\tbit8_0=7410\r\n");

    out += QLatin1String("#logic\r\n");
    const auto kinds = populatedKinds(o);
    int digital = 0, analog = 0, option = 0, counter = 0;
    for (int c = 0; c < cells; ++c) {
        const MacroKind& k = *kinds[static_cast<std::size_t>(c) % kinds.size()];
        for (int r = 0; r < k.instances; ++r) {
            QString line =
                QStringLiteral("\tM") + hex2(c) + QLatin1Char(':') + k.strippedHead + QChar(u'1' + r);
            static const char kOpen[] = "{(<[";
            static const char kClose[] = "})>]";
            for (int g = 0; g < kPinGroupCount; ++g) {
                if (!k.hasGroup[g])
                    continue;
                const bool isDigital = g == int(PinGroup::DigitalIn) || g == int(PinGroup::DigitalOut);
                QStringList items;
                for (const QLatin1String& pin : k.pins[static_cast<std::size_t>(g)]) {
                    QString item = pin;
                    if (pin != QLatin1String("NULL")) {
                        if (isDigital) {
                            const int n = digital++ % 260;
                            const QString circuit =
                                n < 253 ? QStringLiteral("d") + hex2(n + 1)
                                        : (n % 2 ? QStringLiteral("d=1") : QStringLiteral("d=0"));
                            item += QStringLiteral(" \"") +
                                    (g == int(PinGroup::DigitalOut) && n >= 253 ? QStringLiteral("d01")
                                                                                : circuit) +
                                    QLatin1Char('"');
                        } else {
                            item +=
                                QStringLiteral(" \"a") + hex2(analog++ % analogLabels + 1) + QLatin1Char('"');
                        }
                    }
                    if (isDigital) {
                        const char* opt = options[option++ % std::size(options)];
                        if (*opt)
                            item += QStringLiteral(" '") + QLatin1String(opt) + QLatin1Char('\'');
                    }
                    items << item;
                }
                line += QLatin1Char(kOpen[g]) + items.join(QLatin1Char(',')) + QLatin1Char(kClose[g]);
            }
            for (const MacroParam& p : k.params) {
                const int j = counter++;
                const QString at = QString::number(p.bank) + QString::number(p.index);
                switch (p.type) {
                case ParamType::Txt:
                    line += j % 4 == 3
                                ? QStringLiteral("TXT") + at + QStringLiteral("V`") + hex2(j % 0x7F) + "`"
                                : QStringLiteral("TXT") + at + QStringLiteral("C`") + textPool[j % poolSize] +
                                      "`";
                    break;
                case ParamType::Var:
                    line += QStringLiteral("VAR") + at + QString::number(p.format) +
                            (j % 4 == 3 ? QStringLiteral("V`") + hex2(j % 0x7F)
                                        : QStringLiteral("C`") + QLatin1String(varValues[p.format][j % 3])) +
                            "`";
                    break;
                case ParamType::Bits:
                    line += QStringLiteral("BITS") + at + QLatin1Char('`') +
                            FormatBits(std::uint8_t(j % 255 + 1)) + "`";
                    break;
                case ParamType::Byte:
                    line += QStringLiteral("BYTE") + at + QLatin1Char('`') + QString::number(j % 256) + "`";
                    break;
                }
            }
            out += line + crlf;
        }
    }

    static const char* const kLogic[] = {"AND", "OR", "XOR"};
    static const char* const kX[] = {"", "X2", "X4", "X8", "X16", "X32", "X64"};
    out += QLatin1String("#dcircuit\r\n");
    for (int n = 1; n <= 253; ++n) {
        const QByteArray name =
            n % 7 == 0 ? QByteArray("L\"'!`") + QByteArray::number(n) : "Lamp" + QByteArray::number(n);
        out += QStringLiteral("\tdcirc_") + hex2(n) + QStringLiteral("=\"") + escaped(name, 8, u"\"'!`") +
               QStringLiteral("\" `") + aliasPool[n % poolSize] + QStringLiteral("` '") + kLogic[n % 3] + "'";
        if (n % 7)
            out += QStringLiteral(" !") + kX[n % 7] + "!";
        out += crlf;
    }
    out += QLatin1String("#acircuit\r\n");
    for (int n = 1; n <= analogLines; ++n)
        out += QStringLiteral("\tacirc_") + hex2(n) + QStringLiteral("=\"") +
               escaped("Temp" + QByteArray::number(n) + "'x", 8, u"\"'!`") + QStringLiteral("\" `") +
               aliasPool[(n + 3) % poolSize] + QStringLiteral("`") + crlf;
    out += QLatin1String("#text\r\n");
    const int texts = o.qpb ? 64 : 127;
    for (int n = 0; n < texts; ++n) {
        QByteArray t = "Text variable " + QByteArray::number(n) + " \"quoted\" `g` \\ \xF3\xB3\r\n\t!";
        if (n == 5)
            t = QByteArray(256, 'x');
        out += QStringLiteral("\ttext_") + hex2(n) + QLatin1Char('=') + escaped(t, 256) + crlf;
    }
    if (o.qpb) {
        out += QLatin1String("#numer\r\n");
        for (int n = 0; n < 64; ++n) {
            const qint64 v = n == 0 ? INT32_MIN : n == 1 ? INT32_MAX : (n - 32) * 1009;
            out += QStringLiteral("\tnumer_") + hex2(n) + QLatin1Char('=') + QString::number(v == 0 ? 7 : v) +
                   crlf;
        }
    }
    return out;
}

} // namespace testcfg
