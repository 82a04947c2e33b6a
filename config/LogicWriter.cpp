#include "config/LogicSection.h"
#include "config/Records.h"
#include "config/TextCodec.h"

namespace {

const QLatin1String kCrLf("\r\n");

qint32 numberEntry(const quint8* table, int index) {
    return le::GetS32(table + 4 * index);
}

// The time pair text "t1;t2" of a time byte.
void appendTimePair(QString& out, const ConstLogicImage& image, quint8 timeByte) {
    const int t1 = timeByte >> 4;
    const int t2 = timeByte & 15;
    out += t1 ? FormatValue(numberEntry(image.paramCell, t1), kValueHundredths, QLatin1Char('.'), false)
              : QStringLiteral("0");
    out += QLatin1Char(';');
    out += t2 ? FormatValue(numberEntry(image.paramCell, t2), kValueHundredths, QLatin1Char('.'), false)
              : QStringLiteral("0");
}

QString optionsText(const ConstLogicImage& image, quint8 options, quint8 timeByte) {
    QString out;
    if (options & 0x02) {
        if ((options & 0x0C) == 0x0C)
            out += QLatin1Char('|');
        else if (options & 0x04)
            out += QLatin1Char('/');
        else if (options & 0x08)
            out += QLatin1Char('\\');
        else
            out += QLatin1Char('#');
    }
    const int pulse = options >> 4;
    if (pulse >= 1 && pulse <= 12) {
        out += QString(pulse, QLatin1Char('^'));
        appendTimePair(out, image, timeByte);
    } else if (pulse == 13) {
        out += QLatin1Char('m');
        appendTimePair(out, image, timeByte);
    } else if (pulse == 14) {
        out += QLatin1Char('f');
    } else if (pulse == 15) {
        out += QLatin1Char('g');
        appendTimePair(out, image, timeByte);
    }
    if (options & 0x01)
        out += QLatin1Char('~');
    return out;
}

// Appends one pin item; returns true when it wrote a circuit.
bool appendPin(QString& out, const ConstLogicImage& image, QLatin1String name, PinGroup group,
               const quint8* cell, int pos) {
    const bool input = group == PinGroup::AnalogIn || group == PinGroup::DigitalIn;
    const bool digital = group == PinGroup::DigitalIn || group == PinGroup::DigitalOut;
    const quint8 circuit = cell[(input ? kCellInputCircuits : kCellOutputCircuits) + pos];
    out += name;
    bool connected = false;
    if (circuit != 0 && name != QLatin1String("NULL")) {
        connected = true;
        out += QLatin1String(" \"");
        if (!digital) {
            out += QLatin1Char('a');
            AppendHex2(out, circuit);
        } else if (input && circuit == 254) {
            out += QLatin1String("d=0");
        } else if (input && circuit == 255) {
            out += QLatin1String("d=1");
        } else {
            out += QLatin1Char('d');
            AppendHex2(out, circuit);
        }
        out += QLatin1Char('"');
    }
    if (digital) {
        const quint8 options = cell[(input ? kCellInputOptions : kCellOutputOptions) + pos];
        const quint8 times = cell[(input ? kCellInputTimes : kCellOutputTimes) + pos];
        const QString text = optionsText(image, options, times);
        if (!text.isEmpty()) {
            out += QLatin1String(" '");
            out += text;
            out += QLatin1Char('\'');
        }
    }
    return connected;
}

void appendParamHead(QString& out, const char* type, const MacroParam& p) {
    out += QLatin1String(type);
    out += QLatin1Char(char('0' + p.bank));
    out += QLatin1Char(char('0' + p.index));
}

void appendParam(QString& out, const ConstLogicImage& image, const MacroParam& p, quint8 v) {
    switch (p.type) {
    case ParamType::Txt:
        // References beyond the table name no text: they are shown like "no text".
        if (v == 0 || (v <= 128 && v > image.textCount))
            return;
        appendParamHead(out, "TXT", p);
        if (v <= 128) {
            out += QLatin1String("C`");
            out += EncodeField(image.setText + std::size_t(v - 1) * image.textWidth, image.textWidth);
        } else {
            out += QLatin1String("V`");
            AppendHex2(out, v - 129);
        }
        out += QLatin1Char('`');
        return;
    case ParamType::Bits:
        if (v == 0)
            return;
        appendParamHead(out, "BITS", p);
        out += QLatin1Char('`');
        out += FormatBits(v);
        out += QLatin1Char('`');
        return;
    case ParamType::Var:
        if (v == 0 || (v <= 128 && v > image.numerCount))
            return;
        appendParamHead(out, "VAR", p);
        out += QLatin1Char(char('0' + p.format));
        if (v <= 128) {
            out += QLatin1String("C`");
            out += FormatValue(numberEntry(image.setNumer, v - 1), p.format, QLatin1Char('.'), false);
        } else {
            out += QLatin1String("V`");
            AppendHex2(out, v - 129);
        }
        out += QLatin1Char('`');
        return;
    case ParamType::Byte:
        appendParamHead(out, "BYTE", p);
        out += QLatin1Char('`');
        out += QString::number(v);
        out += QLatin1Char('`');
        return;
    }
}

// The group order of a written line, whatever the template's order.
constexpr PinGroup kWriteOrder[kPinGroupCount] = {PinGroup::AnalogIn, PinGroup::DigitalIn,
                                                  PinGroup::AnalogOut, PinGroup::DigitalOut};
constexpr char kOpen[kPinGroupCount] = {'{', '(', '<', '['};
constexpr char kClose[kPinGroupCount] = {'}', ')', '>', ']'};

// Visits the pins of instance r in the order a line lists them: group(g) when a group opens,
// pin(g, name, position) for each pin, close(g) when it ends. Groups absent from the template are
// skipped and use up no positions.
template <class Open, class Pin, class Close>
void forEachPin(const MacroKind& kind, int r, Open open, Pin pin, Close close) {
    int posIn = r * kind.pinStride;
    int posOut = posIn;
    for (PinGroup g : kWriteOrder) {
        if (!kind.hasGroup[int(g)])
            continue;
        const bool input = g == PinGroup::AnalogIn || g == PinGroup::DigitalIn;
        int& pos = input ? posIn : posOut;
        open(g);
        // The catalogue guarantees every instance's pins lie inside the cell.
        for (QLatin1String name : kind.pins[int(g)])
            pin(g, name, pos++);
        close(g);
    }
}

void appendCell(QString& out, const ConstLogicImage& image, int c, Numbering numbering, bool OnlyConfigured) {
    if (c < 0 || c >= image.cellCount)
        return;
    const int code = image.cellType[c];
    if (code == 0) {
        if (!OnlyConfigured)
            out += QLatin1String("\t---\r\n");
        return;
    }
    const MacroKind* kind = kindForCode(numbering, code);
    if (!kind)
        return;
    const quint8* cell = image.setMacro + std::size_t(c) * kMacroCellSize;
    QString line;
    QString params;
    for (int r = 0; r < kind->instances; ++r) {
        line.clear();
        line += QLatin1String("\tM");
        AppendHex2(line, unsigned(c));
        line += QLatin1Char(':');
        line += kind->strippedHead;
        line += QLatin1Char(char('1' + r));
        bool connected = false;
        bool first = true;
        forEachPin(
            *kind, r,
            [&](PinGroup g) {
                line += QLatin1Char(kOpen[int(g)]);
                first = true;
            },
            [&](PinGroup g, QLatin1String name, int pos) {
                if (!first)
                    line += QLatin1Char(',');
                first = false;
                connected |= appendPin(line, image, name, g, cell, pos);
            },
            [&](PinGroup g) { line += QLatin1Char(kClose[int(g)]); });
        params.clear();
        for (const MacroParam& p : kind->params)
            appendParam(params, image, p, cell[kCellParams + 8 * p.bank + r * kind->paramStride + p.index]);
        if (OnlyConfigured && !connected && params.isEmpty())
            continue;
        out += line;
        out += params;
        out += kCrLf;
    }
}

bool numberingFor(LogicEdition edition, const QString& version, QChar pcb, Numbering& numbering) {
    const bool recent = QStringView(version).compare(QLatin1String("V4.1.0"), Qt::CaseSensitive) >= 0;
    const char16_t board = pcb.unicode();
    if (edition == LogicEdition::QPA) {
        if (board != u'C' && board != u'D')
            return false;
        numbering = recent ? Numbering::NewQPA : Numbering::OldQPA;
        return true;
    }
    if (!recent || (board != u'C' && board != u'D' && board != u'X'))
        return false;
    numbering = Numbering::QPB;
    return true;
}

// A view of a configuration's logic fields; read-only when the configuration is const.
template <class Config> auto viewOf(Config& image) {
    using Byte = std::conditional_t<std::is_const_v<Config>, const quint8, quint8>;
    using Plain = std::remove_const_t<Config>;
    LogicImageOf<Byte> v;
    v.setMacro = reinterpret_cast<Byte*>(image.Set_Macro);
    v.cellType = image.CellType;
    v.cellCount = Plain::kCellCount;
    v.paramCell = image.Param_Cell.Time[0];
    v.setText = image.Set_Text[0];
    v.textCount = Plain::kTextCount;
    v.textWidth = Plain::kTextWidth;
    v.setNumer = image.Set_Numer[0];
    v.numerCount = Plain::kNumerCount;
    return v;
}

static_assert(sizeof(TNodarixQPAConfig::Set_Macro) == 40 * kMacroCellSize);
static_assert(sizeof(TNodarixQPBConfig::Set_Macro) == 64 * kMacroCellSize);

} // namespace

LogicImage logicImage(TNodarixQPAConfig& image) {
    return viewOf(image);
}

LogicImage logicImage(TNodarixQPBConfig& image) {
    return viewOf(image);
}

ConstLogicImage logicImage(const TNodarixQPAConfig& image) {
    return viewOf(image);
}

ConstLogicImage logicImage(const TNodarixQPBConfig& image) {
    return viewOf(image);
}

QString WriteMacroCell(const ConstLogicImage& image, int cell, Numbering numbering, bool OnlyConfigured) {
    QString out;
    appendCell(out, image, cell, numbering, OnlyConfigured);
    return out;
}

LogicTextCoverage LogicSectionCoverage(const ConstLogicImage& image, LogicEdition edition,
                                       const QString& version, QChar pcb) {
    LogicTextCoverage coverage;
    coverage.hasNumbering = numberingFor(edition, version, pcb, coverage.numbering);
    for (int c = 0; c < image.cellCount; ++c) {
        const int code = image.cellType[c];
        if (code == 0)
            continue;
        ++coverage.usedCells;
        const MacroKind* kind = coverage.hasNumbering ? kindForCode(coverage.numbering, code) : nullptr;
        if (!kind) {
            coverage.unwrittenCells.push_back(c);
            continue;
        }
        const quint8* cell = image.setMacro + std::size_t(c) * kMacroCellSize;
        for (int r = 0; r < kind->instances; ++r)
            forEachPin(
                *kind, r, [](PinGroup) {},
                [&](PinGroup g, QLatin1String name, int pos) {
                    if (name == QLatin1String("NULL"))
                        return;
                    if (g == PinGroup::DigitalIn || g == PinGroup::DigitalOut) {
                        const quint8 circuit =
                            cell[(g == PinGroup::DigitalIn ? kCellInputCircuits : kCellOutputCircuits) + pos];
                        if (circuit >= 1 && circuit <= 253)
                            coverage.digitalCircuits[circuit] = true;
                    }
                },
                [](PinGroup) {});
    }
    return coverage;
}

QString WriteLogicSection(const ConstLogicImage& image, LogicEdition edition, const QString& version,
                          QChar pcb, bool OnlyConfigured) {
    Numbering numbering;
    if (!numberingFor(edition, version, pcb, numbering))
        return {};
    QString out;
    out.reserve(image.cellCount * 8 * 96);
    for (int c = 0; c < image.cellCount; ++c)
        appendCell(out, image, c, numbering, OnlyConfigured);
    return out;
}

QString WriteLogicSection(const TNodarixQPAConfig& image, const QString& version, QChar pcb,
                          bool OnlyConfigured) {
    return WriteLogicSection(logicImage(image), LogicEdition::QPA, version, pcb, OnlyConfigured);
}

QString WriteLogicSection(const TNodarixQPBConfig& image, const QString& version, QChar pcb,
                          bool OnlyConfigured) {
    return WriteLogicSection(logicImage(image), LogicEdition::QPB, version, pcb, OnlyConfigured);
}
