#include "config/ConfigModel.h"

#include "config/ConfigError.h"
#include "config/ConfigText.h"
#include "config/TextCodec.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <memory>

namespace {

// The edition's reader and writer, chosen by the records' types.
bool readText(QString& text, std::uint8_t& autoPlace, TACircuitRemap& a, TDCircuitRemap& d, TNodarixQPAText& t,
              TNodarixQPAConfig& c) {
    return ReadConfigTextQPA(text, autoPlace, false, a, d, t, c);
}
bool readText(QString& text, std::uint8_t& autoPlace, TACircuitRemap& a, TDCircuitRemap& d, TNodarixQPBVars& v,
              TNodarixQPBConfig& c) {
    return ReadConfigTextQPB(text, autoPlace, false, a, d, v, c);
}
// The version and board select the numbering the readers store kinds in.
QString writeText(const TNodarixQPAConfig& c, const TNodarixQPAText& t) {
    return ConfigQPAToText(QStringLiteral("V4.1.0"), QLatin1Char('C'), c, true, t);
}
QString writeText(const TNodarixQPBConfig& c, const TNodarixQPBVars& v) {
    return ConfigQPBToText(QStringLiteral("V4.1.0"), QLatin1Char('C'), c, true, v);
}

// The text form of the records just read, in the numbering the reader stored.
template <class Config, class Companion>
bool readAndRewrite(const QString& text, QString& canonical, QString& error, int& line) {
    auto config = std::make_unique<Config>();
    auto companion = std::make_unique<Companion>();
    TACircuitRemap analog;
    TDCircuitRemap digital;
    ClearConfiguration(*config, *companion, analog, digital);
    QString rest = text;
    std::uint8_t autoPlace = 0;
    if (!readText(rest, autoPlace, analog, digital, *companion, *config)) {
        error = ConfigErrorText();
        line = FailedLineNumber(text, rest.size());
        return false;
    }
    canonical = writeText(*config, *companion);
    return true;
}

PinCircuit parseCircuit(QStringView text, bool output) {
    PinCircuit c;
    if (text.isEmpty())
        return c;
    if (text == u"d=0" || text == u"d=1") {
        c.kind = text.back() == u'0' ? PinCircuit::Constant0 : PinCircuit::Constant1;
        return c;
    }
    bool ok = false;
    c.number = text.mid(1).toInt(&ok, 16);
    if (!ok)
        return PinCircuit{};
    if (text.front() == u'a') {
        c.kind = PinCircuit::Analog;
    } else if (output && (c.number == 254 || c.number == 255)) {
        c.kind = c.number == 254 ? PinCircuit::Constant0 : PinCircuit::Constant1;
        c.number = 0;
    } else {
        c.kind = PinCircuit::Digital;
    }
    return c;
}

PinGroup groupOf(QChar open) {
    switch (open.unicode()) {
    case u'{':
        return PinGroup::AnalogIn;
    case u'(':
        return PinGroup::DigitalIn;
    case u'<':
        return PinGroup::AnalogOut;
    default:
        return PinGroup::DigitalOut;
    }
}

QChar closerOf(QChar open) {
    switch (open.unicode()) {
    case u'{':
        return u'}';
    case u'(':
        return u')';
    case u'<':
        return u'>';
    default:
        return u']';
    }
}

// One line of the writer's logic section: "\tMcc:KIND*N-k" pin groups, then parameters.
bool parseLogicLine(QStringView line, LogicInstance& out) {
    static const QRegularExpression head(QStringLiteral("^\\tM([0-9A-F]{2}):(([^*]+)\\*\\d-\\d)"));
    const auto m = head.match(line);
    if (!m.hasMatch())
        return false;
    out.cell = m.capturedView(1).toInt(nullptr, 16);
    out.head = m.captured(2);
    out.kind = m.captured(3);
    QStringView rest = line.mid(m.capturedEnd());
    while (!rest.isEmpty() && QStringView(u"{(<[").contains(rest.front())) {
        const QChar open = rest.front();
        const qsizetype close = rest.indexOf(closerOf(open));
        if (close < 0)
            return false;
        const PinGroup group = groupOf(open);
        const bool digital = group == PinGroup::DigitalIn || group == PinGroup::DigitalOut;
        const bool output = group == PinGroup::AnalogOut || group == PinGroup::DigitalOut;
        int index = 0;
        for (QStringView item : rest.mid(1, close - 1).split(u',')) {
            LogicPin pin;
            pin.group = group;
            pin.index = index++;
            const qsizetype space = item.indexOf(u' ');
            pin.name = (space < 0 ? item : item.left(space)).toString();
            pin.circuit = parseCircuit(TextBetween(item, u'"'), output);
            if (digital)
                pin.options = TextBetween(item, u'\'').toString();
            out.pins.push_back(pin);
        }
        rest = rest.mid(close + 1);
    }
    static const QRegularExpression param(
        QStringLiteral("^(TXT|BITS|VAR|BYTE)([01][0-9A-F])\\d?([CV]?)`([^`]*)`"));
    while (!rest.isEmpty()) {
        const auto p = param.match(rest);
        if (!p.hasMatch())
            return false;
        const QString type = p.captured(1);
        const QStringView value = p.capturedView(4);
        QString shown;
        if (p.capturedView(3) == u"V")
            shown = QStringLiteral("variable %1").arg(value);
        else if (type == QLatin1String("TXT"))
            shown = QLatin1Char('"') + DisplayText(value) + QLatin1Char('"');
        else
            shown = value.toString();
        out.params.push_back(LogicParam{type + p.captured(2), shown});
        rest = rest.mid(p.capturedEnd());
    }
    return true;
}

// "\tdcirc_05="Pump" `Main pump` 'OR' !X2!": the name between the first two double quotes, the
// other parts in the rest of the line.
void parseCircuitLine(QStringView line, std::map<int, CircuitInfo>& into) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 2)
        return;
    CircuitInfo c;
    c.number = line.mid(eq - 2, 2).toInt(nullptr, 16);
    const QStringView value = line.mid(eq + 1);
    const QStringView name = TextBetween(value, u'"');
    c.name = DisplayText(name);
    static const QRegularExpression placeholder(QStringLiteral("^temp_[AD][0-9A-F]{2}$"));
    if (placeholder.match(c.name).hasMatch())
        c.name.clear(); // the reader's stand-in for a circuit the text did not name
    const QStringView tail = value.mid(std::min(value.size(), name.size() + 2));
    c.alias = DisplayText(TextBetween(tail, u'`'));
    c.logic = TextBetween(tail, u'\'').toString();
    c.xcode = TextBetween(tail, u'!').toString();
    into[c.number] = c;
}

void parseCanonical(const QString& canonical, ConfigModel& model) {
    QString section;
    std::map<QString, int> seen; // occurrences of each head so far
    for (QStringView line : QStringView(canonical).split(u"\r\n", Qt::SkipEmptyParts)) {
        if (line.startsWith(u'#')) {
            section = line.mid(1).toString();
            continue;
        }
        if (section == QLatin1String("logic")) {
            LogicInstance instance;
            if (parseLogicLine(line, instance)) {
                instance.occurrence = seen[instance.head]++;
                model.logic.push_back(std::move(instance));
            }
        } else if (section == QLatin1String("dcircuit")) {
            parseCircuitLine(line, model.digital);
        } else if (section == QLatin1String("acircuit")) {
            parseCircuitLine(line, model.analog);
        } else {
            const qsizetype eq = line.indexOf(u'=');
            if (eq < 0)
                continue;
            ConfigEntry entry{line.mid(1, eq - 1).toString(), line.mid(eq + 1).toString()};
            if (section == QLatin1String("settings")) {
                entry.value = DisplayText(entry.value); // names and passwords; numbers stay as they are
                model.settings.push_back(entry);
            } else if (section == QLatin1String("text")) {
                entry.value = DisplayText(entry.value);
                model.texts.push_back(entry);
            } else if (section == QLatin1String("numer")) {
                model.numers.push_back(entry);
            }
        }
    }
}

} // namespace

std::optional<LogicEdition> EditionFromText(const QString& text) {
    static const QRegularExpression version(QStringLiteral("^#version=.*(QPA|QPB).\\r?$"),
                                            QRegularExpression::MultilineOption);
    const auto m = version.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return m.capturedView(1) == u"QPA" ? LogicEdition::QPA : LogicEdition::QPB;
}

bool ReadConfigModel(const QString& text, LogicEdition edition, ConfigModel& model, QString& error,
                     int& errorLine) {
    QString canonical;
    const bool ok = edition == LogicEdition::QPA
                        ? readAndRewrite<TNodarixQPAConfig, TNodarixQPAText>(text, canonical, error, errorLine)
                        : readAndRewrite<TNodarixQPBConfig, TNodarixQPBVars>(text, canonical, error, errorLine);
    if (!ok)
        return false;
    model = ConfigModel{};
    model.edition = edition;
    parseCanonical(canonical, model);
    return true;
}

QString DisplayText(QStringView escaped) {
    // Wide enough for the longest field (256 bytes), which never grows when decoded.
    std::uint8_t bytes[257] = {};
    DecodeField(escaped, bytes, 256);
    const QByteArray raw(reinterpret_cast<const char*>(bytes));
    QStringDecoder decoder("windows-1250");
    const QString text = decoder.isValid() ? decoder.decode(raw) : QString::fromLatin1(raw);
    // Control characters stay escaped, so that a value never breaks the line it is shown on.
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x20) {
            shown += QLatin1Char('\\');
            AppendHex2(shown, c.unicode());
        } else {
            shown += c;
        }
    }
    return shown;
}
