#include "config/ConfigText.h"

#include "config/ConfigError.h"
#include "config/LogicSection.h"
#include "config/TextCodec.h"

#include <algorithm>
#include <array>

namespace {

const QLatin1String kCrLf("\r\n");

// The characters that delimit the parts of a circuit line. A name or alias holding one of them is
// written with it escaped, so that it survives a write and read.
constexpr char16_t kCircuitDelimiters[] = u"\"'!`";
const QStringView kCircuitEscapes(kCircuitDelimiters, 4);

QString hex2(int n) {
    QString out;
    AppendHex2(out, static_cast<unsigned>(n));
    return out;
}

bool fail(std::int32_t code) {
    LastConfigError = code;
    return false;
}

// The version text on one line: control characters would start a new one.
QString versionLine(const QString& version, const char* edition, QChar pcb) {
    QString out = QStringLiteral("#version=");
    for (QChar c : version) {
        if (c.unicode() < 0x20)
            out += QStringLiteral("\\") + hex2(c.unicode());
        else
            out += c;
    }
    out += QLatin1String(edition);
    if (pcb.unicode() >= 0x20)
        out += pcb;
    out += kCrLf;
    return out;
}

template <class Config> void writeSettings(QString& out, const Config& c) {
    out += QLatin1String("#settings\r\n");
    for (int n = 0; n < 5; ++n)
        out += QStringLiteral("\tip_%1=").arg(n) + FormatIP(c.IP[n]) + kCrLf;
    out += QLatin1String("\tmac=") + FormatMAC(c.MAC) + kCrLf;
    out += QLatin1String("\tnetname=") + EncodeField(c.NETNAME, 16) + kCrLf;
    for (int n = 0; n < 4; ++n)
        out += QStringLiteral("\ttext16_%1=").arg(n) + EncodeField(c.Text16[n], 16) + kCrLf;
    for (int n = 0; n < 5; ++n)
        out += QStringLiteral("\ttext32_%1=").arg(n) + EncodeField(c.Text32[n], 32) + kCrLf;
    for (int n = 0; n < 7; ++n)
        out += QStringLiteral("\tnumer16_%1=%2").arg(n).arg(le::GetU16(c.Numer16[n])) + kCrLf;
    for (int n = 0; n < 3; ++n)
        out += QStringLiteral("\tnumer8_%1=%2").arg(n).arg(c.Numer8[n]) + kCrLf;
    out += QLatin1String("\tbit8_0=") + FormatBits(c.Bits) + kCrLf;
}

// The alias part of a circuit line; none for no alias, and none for an index beyond the text
// table (such a byte names nothing the image holds).
template <class Config> QString aliasPart(const Config& c, std::uint8_t alias) {
    if (alias == 0 || alias > Config::kTextCount)
        return {};
    return QLatin1String(" `") + EncodeField(c.Set_Text[alias - 1], Config::kTextWidth, kCircuitEscapes) +
           QLatin1Char('`');
}

// `wired` marks the digital circuits the written logic uses. OnlyConfigured leaves out unnamed
// circuits, except those the logic uses whose alias, logic or X code differs from the cleared state:
// without their line the read would give them the cleared values and so change the logic.
template <class Config>
void writeCircuits(QString& out, const Config& c, bool onlyConfigured, const std::array<bool, 256>& wired) {
    static const char* const kLogic[] = {"AND", "OR", "XOR"};
    static const char* const kXCode[] = {"X2", "X4", "X8", "X16", "X32", "X64"};
    out += QLatin1String("#dcircuit\r\n");
    for (int n = 1; n <= Config::kDCircuitCount; ++n) {
        const QString name = EncodeField(c.D_CirName[n], 8, kCircuitEscapes);
        const bool clearedState = c.D_CirAlias[n] == 0 && c.D_CirParam[n] == 0x01;
        if (onlyConfigured && name.isEmpty() && (clearedState || !wired[n]))
            continue;
        out += QLatin1String("\tdcirc_") + hex2(n) + QLatin1String("=\"") + name + QLatin1Char('"');
        out += aliasPart(c, c.D_CirAlias[n]);
        const int logic = c.D_CirParam[n] & 0x0F;
        if (logic <= 2)
            out += QLatin1String(" '") + QLatin1String(kLogic[logic]) + QLatin1Char('\'');
        const int x = c.D_CirParam[n] >> 4;
        if (x >= 1 && x <= 6)
            out += QLatin1String(" !") + QLatin1String(kXCode[x - 1]) + QLatin1Char('!');
        out += kCrLf;
    }
    out += QLatin1String("#acircuit\r\n");
    for (int n = 1; n <= Config::kACircuitCount; ++n) {
        const QString name = EncodeField(c.A_CirName[n], 8, kCircuitEscapes);
        if (onlyConfigured && name.isEmpty())
            continue;
        out += QLatin1String("\tacirc_") + hex2(n) + QLatin1String("=\"") + name + QLatin1Char('"');
        out += aliasPart(c, c.A_CirAlias[n]);
        out += kCrLf;
    }
}

template <class Companion> void writeTexts(QString& out, const Companion& t, int count, bool onlyConfigured) {
    out += QLatin1String("#text\r\n");
    for (int n = 0; n < count; ++n) {
        const QString value = EncodeField(t.Var_Text[n], 256);
        if (onlyConfigured && value.isEmpty())
            continue;
        out += QLatin1String("\ttext_") + hex2(n) + QLatin1Char('=') + value + kCrLf;
    }
}

// Takes the next line of a section into LastConfigLine. False when the section ends here: at a
// header line, which stays in the text for the file-level reader.
bool nextSectionLine(QString& text, QString& line) {
    line = TakeLine(text);
    LastConfigLine = line;
    if (line.startsWith(QLatin1Char('#')))
        return false;
    DropLine(text);
    return true;
}

// Removes `key` from the front of `line` when it starts with it.
bool takeKey(QString& line, QLatin1String key) {
    if (!line.startsWith(key))
        return false;
    line.remove(0, key.size());
    return true;
}

// Index digit 0..maxIndex followed directly by "=".
bool takeIndex(QString& line, int maxIndex, int& index) {
    std::int32_t v = 0;
    if (!ScanDecimal(line, v, 1, maxIndex, 0, false, true) || !ExpectChar(line, QLatin1Char('='), 1))
        return false;
    index = v;
    return true;
}

// Blanks and tabs that a hand edit leaves at the end of a value.
void dropTrailingBlanks(QString& line) {
    qsizetype end = line.size();
    while (end > 0 && (line[end - 1] == QLatin1Char(' ') || line[end - 1] == QLatin1Char('\t')))
        --end;
    line.truncate(end);
}

// Unsigned decimal of up to `digits` digits that must be the whole value, trailing blanks aside: a
// longer number would otherwise be cut to its first digits without a word.
bool takeWholeNumber(QString& line, int digits, std::int32_t maximum, std::int32_t& value) {
    dropTrailingBlanks(line);
    return ScanDecimal(line, value, digits, maximum, 0, false, true) && line.isEmpty();
}

template <class Config> bool settingsLine(QString line, Config& c) {
    int n = 0;
    std::int32_t v = 0;
    if (takeKey(line, QLatin1String("\tip_")))
        return takeIndex(line, 4, n) && ParseIP(line, c.IP[n]);
    if (takeKey(line, QLatin1String("\tmac=")))
        return ParseMAC(line, c.MAC);
    if (takeKey(line, QLatin1String("\tnetname="))) {
        DecodeField(line, c.NETNAME, 16);
        return true;
    }
    if (takeKey(line, QLatin1String("\ttext16_"))) {
        if (!takeIndex(line, 3, n))
            return false;
        DecodeField(line, c.Text16[n], 16);
        return true;
    }
    if (takeKey(line, QLatin1String("\ttext32_"))) {
        if (!takeIndex(line, 4, n))
            return false;
        DecodeField(line, c.Text32[n], 32);
        return true;
    }
    if (takeKey(line, QLatin1String("\tnumer16_"))) {
        if (!takeIndex(line, 6, n) || !takeWholeNumber(line, 5, 65535, v))
            return false;
        le::PutU16(c.Numer16[n], static_cast<std::uint16_t>(v));
        return true;
    }
    if (takeKey(line, QLatin1String("\tnumer8_"))) {
        if (!takeIndex(line, 2, n) || !takeWholeNumber(line, 3, 255, v))
            return false;
        c.Numer8[n] = static_cast<std::uint8_t>(v);
        return true;
    }
    if (takeKey(line, QLatin1String("\tbit8_"))) {
        if (!takeIndex(line, 0, n))
            return false;
        dropTrailingBlanks(line);
        return ParseBits(line, c.Bits);
    }
    return false;
}

template <class Config> bool readSettings(QString& text, Config& c) {
    QString line;
    while (nextSectionLine(text, line)) {
        if (!settingsLine(line, c))
            return fail(kErrUnknownSetting);
        if (text.isEmpty())
            break;
    }
    return true;
}

// Circuit number k for each label in use (0 = none); the first pair in use with a label wins.
void labelIndex(const std::uint8_t* conns, int count, int (&byLabel)[256]) {
    for (int& k : byLabel)
        k = 0;
    for (int k = 1; k <= count; ++k)
        if (RemapUsed(conns, k) && byLabel[RemapLabel(conns, k)] == 0)
            byLabel[RemapLabel(conns, k)] = k;
}

void setTempName(std::uint8_t* name, char kind, int k) {
    const QByteArray text = QByteArray("temp_") + kind + hex2(k).toLatin1();
    for (int i = 0; i < 8; ++i)
        name[i] = static_cast<std::uint8_t>(text.at(i));
}

// Name and alias of one circuit line; the alias goes through the text table.
template <class Config>
bool nameAndAlias(QStringView rest, Config& c, std::uint8_t* name, std::uint8_t& alias) {
    const QStringView nameText = TextBetween(rest, QLatin1Char('"'));
    if (!nameText.isEmpty())
        DecodeField(nameText, name, 8);
    const QStringView aliasText = TextBetween(rest, QLatin1Char('`'));
    if (!aliasText.isEmpty()) {
        // Written aliases may escape their line's delimiters; the table compares the plain
        // escaped form, so that an alias finds the entry of an equal text parameter.
        std::uint8_t bytes[Config::kTextWidth];
        DecodeField(aliasText, bytes, Config::kTextWidth);
        const int ref = InternText(EncodeField(bytes, Config::kTextWidth), &c.Set_Text[0][0],
                                   Config::kTextWidth, Config::kTextCount);
        if (ref < 0)
            return fail(kErrNoTextSlot);
        alias = static_cast<std::uint8_t>(ref);
    }
    return true;
}

template <class Config> bool readCircuits(QString& text, Config& c, const std::uint8_t* conns, bool digital) {
    const int count = digital ? Config::kDCircuitCount : Config::kACircuitCount;
    const std::int32_t numberError = digital ? kErrDigitalNumber : kErrAnalogNumber;
    const QLatin1String key = digital ? QLatin1String("\tdcirc_") : QLatin1String("\tacirc_");
    for (int k = 1; k <= count; ++k)
        if (RemapUsed(conns, k))
            setTempName(digital ? c.D_CirName[k] : c.A_CirName[k], digital ? 'D' : 'A', k);
    int byLabel[256];
    labelIndex(conns, count, byLabel);

    QString line;
    while (nextSectionLine(text, line)) {
        if (!takeKey(line, key))
            return fail(kErrUnknownSetting);
        std::int32_t label = 0;
        if (!ScanHex(line, label, 2, count, 1, true, true) || !ExpectChar(line, QLatin1Char('='), 1))
            return fail(numberError);
        const int k = byLabel[label];
        if (k != 0) {
            if (digital) {
                if (!nameAndAlias(line, c, c.D_CirName[k], c.D_CirAlias[k]))
                    return false;
                // A line without a logic part is what the writer gives for a logic value that has
                // no text form: the circuit keeps the logic it has.
                const QStringView logic = TextBetween(line, QLatin1Char('\''));
                int low = -1;
                if (!line.contains(QLatin1Char('\'')))
                    low = c.D_CirParam[k] & 0x0F;
                else if (logic == QLatin1String("AND"))
                    low = 0;
                else if (logic == QLatin1String("OR"))
                    low = 1;
                else if (logic == QLatin1String("XOR"))
                    low = 2;
                if (low < 0)
                    return fail(kErrDigitalLogic);
                int high = c.D_CirParam[k] >> 4;
                static const char* const kXCode[] = {"X2", "X4", "X8", "X16", "X32", "X64"};
                const QStringView x = TextBetween(line, QLatin1Char('!'));
                for (int i = 0; i < 6; ++i)
                    if (x == QLatin1String(kXCode[i]))
                        high = i + 1;
                c.D_CirParam[k] = static_cast<std::uint8_t>(high << 4 | low);
            } else if (!nameAndAlias(line, c, c.A_CirName[k], c.A_CirAlias[k])) {
                return false;
            }
        }
        if (text.isEmpty())
            break;
    }
    return true;
}

template <class Companion> bool readTexts(QString& text, Companion& t, int maxIndex) {
    QString line;
    while (nextSectionLine(text, line)) {
        if (line.isEmpty())
            break;
        if (!takeKey(line, QLatin1String("\ttext_")))
            return fail(kErrUnknownSetting);
        std::int32_t n = 0;
        if (!ScanHex(line, n, 2, maxIndex, 0, true, true) || !ExpectChar(line, QLatin1Char('='), 1))
            return fail(kErrTextNumber);
        DecodeField(line, t.Var_Text[n], 256);
        if (text.isEmpty())
            break;
    }
    return true;
}

// The dispatch shared by both editions; `numer` is null for QPA, which has no "#numer" section.
template <class Config, class Companion>
bool readConfigText(QString& text, std::uint8_t& autoPlace, bool keepCurrent, TACircuitRemap& analog,
                    TDCircuitRemap& digital, Companion& companion, Config& config, int lastText,
                    TNodarixQPBVars* numer) {
    LastConfigError = 0;
    if (text.isEmpty())
        return fail(kErrNoSettings);
    if (!keepCurrent)
        ClearConfiguration(config, companion, analog, digital);
    while (!text.isEmpty()) {
        const QString line = TakeLine(text);
        LastConfigLine = line;
        DropLine(text);
        bool ok = true;
        if (line.startsWith(QLatin1String("#version=")))
            continue;
        if (line.startsWith(QLatin1String("#settings"))) {
            if (!keepCurrent)
                ok = ReadSettingsSection(text, config);
        } else if (line.startsWith(QLatin1String("#logic"))) {
            ok = ReadLogicSection(text, config, autoPlace, digital, analog);
        } else if (line.startsWith(QLatin1String("#dcircuit"))) {
            ok = ReadDCircuitSection(text, config, digital);
        } else if (line.startsWith(QLatin1String("#acircuit"))) {
            ok = ReadACircuitSection(text, config, analog);
        } else if (line.startsWith(QLatin1String("#text"))) {
            ok = readTexts(text, companion, lastText);
        } else if (numer && line.startsWith(QLatin1String("#numer"))) {
            ok = ReadNumerSection(text, *numer);
        }
        if (!ok)
            return false;
    }
    return true;
}

LogicEdition editionOf(const TNodarixQPAConfig&) {
    return LogicEdition::QPA;
}
LogicEdition editionOf(const TNodarixQPBConfig&) {
    return LogicEdition::QPB;
}

// The sections both editions share: version line, settings, logic, circuits and texts.
template <class Config, class Texts>
void writeSections(QString& out, qsizetype expectedSize, const char* edition, const QString& version,
                   QChar pcb, const Config& config, bool OnlyConfigured, const Texts& texts, int textCount) {
    out.reserve(expectedSize);
    out += versionLine(version, edition, pcb);
    writeSettings(out, config);
    out += QLatin1String("#logic\r\n");
    out += WriteLogicSection(config, version, pcb, OnlyConfigured);
    writeCircuits(out, config, OnlyConfigured,
                  LogicSectionCoverage(logicImage(config), editionOf(config), version, pcb).digitalCircuits);
    writeTexts(out, texts, textCount, OnlyConfigured);
}

// Everything the text written for `version` and `pcb` cannot carry back: logic cells it leaves out
// and values of the circuits the logic uses that have no text form.
template <class Config>
ConfigTextLossReport textLosses(const QString& version, QChar pcb, const Config& config,
                                const char* edition) {
    ConfigTextLossReport report;
    const LogicTextCoverage coverage =
        LogicSectionCoverage(logicImage(config), editionOf(config), version, pcb);
    if (!coverage.hasNumbering && coverage.usedCells > 0) {
        report.logic << QStringLiteral("Logika nie trafi do tekstu: dla wersji \"%1\" i płyty \"%2\" brak "
                                       "numeracji makr %3 (komórki z makrami: %4).")
                            .arg(version, QString(pcb), QLatin1String(edition),
                                 QString::number(coverage.usedCells));
    } else {
        for (int cell : coverage.unwrittenCells)
            report.logic << QStringLiteral("Komórka %1 nie trafi do tekstu: kod makra %2 nie ma odpowiednika "
                                           "w numeracji wersji \"%3\".")
                                .arg(hex2(cell), QString::number(config.CellType[cell]), version);
    }
    for (int n = 1; n <= Config::kDCircuitCount; ++n) {
        if (!coverage.digitalCircuits[n])
            continue;
        const QString name = EncodeField(config.D_CirName[n], 8);
        const QString circuit = QStringLiteral("Obwód cyfrowy %1").arg(hex2(n)) +
                                (name.isEmpty() ? QString() : QStringLiteral(" (\"%1\")").arg(name));
        const int logic = config.D_CirParam[n] & 0x0F;
        const int x = config.D_CirParam[n] >> 4;
        if (logic > 2)
            report.circuits << circuit +
                                   QStringLiteral(": logiki o wartości %1 nie da się zapisać w tekście; "
                                                  "po odczycie będzie OR.")
                                       .arg(logic);
        if (x > 6)
            report.circuits << circuit +
                                   QStringLiteral(": kodu X o wartości %1 nie da się zapisać w tekście; "
                                                  "po odczycie nie będzie kodu X.")
                                       .arg(x);
    }
    return report;
}

} // namespace

QStringList ConfigTextLossReport::all() const {
    return logic + circuits;
}

ConfigTextLossReport ConfigQPATextLossReport(const QString& version, QChar pcb,
                                             const TNodarixQPAConfig& config) {
    return textLosses(version, pcb, config, "QPA");
}

ConfigTextLossReport ConfigQPBTextLossReport(const QString& version, QChar pcb,
                                             const TNodarixQPBConfig& config) {
    return textLosses(version, pcb, config, "QPB");
}

QStringList ConfigQPATextLosses(const QString& version, QChar pcb, const TNodarixQPAConfig& config) {
    return ConfigQPATextLossReport(version, pcb, config).all();
}

QStringList ConfigQPBTextLosses(const QString& version, QChar pcb, const TNodarixQPBConfig& config) {
    return ConfigQPBTextLossReport(version, pcb, config).all();
}

QString ConfigQPAToText(const QString& version, QChar pcb, const TNodarixQPAConfig& config,
                        bool OnlyConfigured, const TNodarixQPAText& texts) {
    QString out;
    writeSections(out, 64 * 1024, "QPA", version, pcb, config, OnlyConfigured, texts, 127);
    return out;
}

QString ConfigQPBToText(const QString& version, QChar pcb, const TNodarixQPBConfig& config,
                        bool OnlyConfigured, const TNodarixQPBVars& vars) {
    QString out;
    writeSections(out, 256 * 1024, "QPB", version, pcb, config, OnlyConfigured, vars,
                  TNodarixQPBVars::kTextCount);
    out += QLatin1String("#numer\r\n");
    for (int n = 0; n < TNodarixQPBVars::kNumerCount; ++n) {
        const std::int32_t v = le::GetS32(vars.Var_Numer[n]);
        if (v != 0)
            out += QLatin1String("\tnumer_") + hex2(n) + QLatin1Char('=') + QString::number(v) + kCrLf;
    }
    return out;
}

bool ReadConfigTextQPA(QString& text, std::uint8_t& AutoPlace, bool KeepCurrent, TACircuitRemap& analog,
                       TDCircuitRemap& digital, TNodarixQPAText& texts, TNodarixQPAConfig& config) {
    return readConfigText(text, AutoPlace, KeepCurrent, analog, digital, texts, config, 127, nullptr);
}

bool ReadConfigTextQPB(QString& text, std::uint8_t& AutoPlace, bool KeepCurrent, TACircuitRemap& analog,
                       TDCircuitRemap& digital, TNodarixQPBVars& vars, TNodarixQPBConfig& config) {
    return readConfigText(text, AutoPlace, KeepCurrent, analog, digital, vars, config, 63, &vars);
}

bool TextToConfigQPA(const QString& text, std::uint8_t& AutoPlace, bool KeepCurrent, TACircuitRemap& analog,
                     TDCircuitRemap& digital, TNodarixQPAText& texts, TNodarixQPAConfig& config) {
    QString rest = text;
    return ReadConfigTextQPA(rest, AutoPlace, KeepCurrent, analog, digital, texts, config);
}

bool TextToConfigQPB(const QString& text, std::uint8_t& AutoPlace, bool KeepCurrent, TACircuitRemap& analog,
                     TDCircuitRemap& digital, TNodarixQPBVars& vars, TNodarixQPBConfig& config) {
    QString rest = text;
    return ReadConfigTextQPB(rest, AutoPlace, KeepCurrent, analog, digital, vars, config);
}

int FailedLineNumber(const QString& original, qsizetype remainingSize) {
    const qsizetype consumed = std::clamp<qsizetype>(original.size() - remainingSize, 0, original.size());
    if (consumed == 0)
        return 1;
    const QStringView read = QStringView(original).left(consumed);
    const int ends = static_cast<int>(read.count(kCrLf));
    return read.endsWith(kCrLf) ? ends : ends + 1;
}

bool ReadSettingsSection(QString& text, TNodarixQPAConfig& config) {
    return readSettings(text, config);
}
bool ReadSettingsSection(QString& text, TNodarixQPBConfig& config) {
    return readSettings(text, config);
}

bool ReadDCircuitSection(QString& text, TNodarixQPAConfig& config, const TDCircuitRemap& digital) {
    return readCircuits(text, config, digital.DCircuitConns, true);
}
bool ReadDCircuitSection(QString& text, TNodarixQPBConfig& config, const TDCircuitRemap& digital) {
    return readCircuits(text, config, digital.DCircuitConns, true);
}
bool ReadACircuitSection(QString& text, TNodarixQPAConfig& config, const TACircuitRemap& analog) {
    return readCircuits(text, config, analog.ACircuitConns, false);
}
bool ReadACircuitSection(QString& text, TNodarixQPBConfig& config, const TACircuitRemap& analog) {
    return readCircuits(text, config, analog.ACircuitConns, false);
}

bool ReadTextSection(QString& text, TNodarixQPAText& texts) {
    return readTexts(text, texts, 127);
}
bool ReadTextSection(QString& text, TNodarixQPBVars& vars) {
    return readTexts(text, vars, 63);
}

bool ReadNumerSection(QString& text, TNodarixQPBVars& vars) {
    QString line;
    while (nextSectionLine(text, line)) {
        if (line.isEmpty())
            break;
        if (!takeKey(line, QLatin1String("\tnumer_")))
            return fail(kErrUnknownSetting);
        std::int32_t n = 0;
        if (!ScanHex(line, n, 2, 63, 0, true, true) || !ExpectChar(line, QLatin1Char('='), 1))
            return fail(kErrNumerNumber);
        std::int32_t v = 0;
        if (!ParseValue(line, kValueInteger, v))
            return fail(kErrNumerValue);
        le::PutS32(vars.Var_Numer[n], v);
        if (text.isEmpty())
            break;
    }
    return true;
}
