#include "config/ConfigError.h"
#include "config/LogicSection.h"
#include "config/Records.h"
#include "config/TextCodec.h"

#include <QList>
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr int kDigitalEntries = 253;
// Analog circuits the reader allocates: QPA has 31, QPB 253 (as many as its analog tables hold).
constexpr int kAnalogEntriesQPA = 31;
constexpr int kAnalogEntriesQPB = 253;

// Label lookup over a remap table, indexed once per call so that each pin costs O(1).
class RemapIndex {
public:
    RemapIndex(quint8* conns, int entries) : conns_(conns), entries_(entries) {
        byLabel_.fill(0);
        for (int k = entries; k >= 1; --k)
            if (RemapUsed(conns_, k))
                byLabel_[RemapLabel(conns_, k)] = quint8(k);
    }

    // The circuit for a label: the first used entry holding it, else the first free entry,
    // which takes the label. 0 when the table is full.
    int circuitFor(int label) {
        if (const int k = byLabel_[label])
            return k;
        while (free_ <= entries_ && RemapUsed(conns_, free_))
            ++free_;
        if (free_ > entries_)
            return 0;
        RemapSet(conns_, free_, quint8(label));
        byLabel_[label] = quint8(free_);
        return free_;
    }

private:
    quint8* conns_;
    int entries_;
    int free_ = 1;
    std::array<quint8, 256> byLabel_;
};

struct GroupText {
    QString content;
    int count = 0;
};

class Reader {
public:
    Reader(QStringView text, qsizetype& pos, const LogicImage& image, LogicEdition edition, quint8& autoPlace,
           quint8* digital, quint8* analog)
        : text_(text), pos_(pos), image_(image), autoPlace_(autoPlace),
          numbering_(edition == LogicEdition::QPA ? Numbering::NewQPA : Numbering::QPB),
          qpa_(edition == LogicEdition::QPA), digital_(digital, kDigitalEntries),
          analog_(analog, edition == LogicEdition::QPA ? kAnalogEntriesQPA : kAnalogEntriesQPB) {}

    bool run() {
        for (;;) {
            const qsizetype eol = text_.indexOf(QLatin1String("\r\n"), pos_);
            const QStringView line = eol < 0 ? text_.mid(pos_) : text_.mid(pos_, eol - pos_);
            LastConfigLine = line.toString();
            if (line.startsWith(QLatin1Char('#')))
                return true;
            pos_ = eol < 0 ? text_.size() : eol + 2;
            if (!readLine(line))
                return false;
            if (pos_ >= text_.size())
                return true;
        }
    }

private:
    bool fail(int code) {
        LastConfigError = code;
        return false;
    }

    bool readLine(QStringView line) {
        int cellNumber = -1;
        QString work;
        if (line.startsWith(QLatin1String("\tM")) && line.indexOf(QLatin1Char(':')) == 4) {
            const int hi = HexDigitValue(line[2]);
            const int lo = HexDigitValue(line[3]);
            if (hi < 0 || lo < 0)
                return fail(kErrCellNumber);
            cellNumber = hi * 16 + lo;
            work.reserve(line.size() - 4);
            work += QLatin1Char('\t');
            work += line.mid(5);
        } else {
            autoPlace_ = 1;
            work = line.toString();
        }
        if (work.startsWith(QLatin1String("\t---")))
            return true;
        return readMacro(work, cellNumber);
    }

    const MacroKind* recognise(QStringView work) const {
        if (!work.startsWith(QLatin1Char('\t')))
            return nullptr;
        // Kind names hold no "*", so only the row named by the text before the first "*" can
        // have a template prefix that starts the line.
        const qsizetype star = work.indexOf(QLatin1Char('*'));
        if (star < 0)
            return nullptr;
        const MacroKind* kind = kindByName(work.mid(1, star - 1));
        if (!kind || !work.startsWith(kind->matchPrefix) || (qpa_ && kind->qpbOnly))
            return nullptr;
        return kind;
    }

    bool readMacro(const QString& work, int cellNumber) {
        const MacroKind* kind = recognise(work);
        if (!kind)
            return fail(kErrUnknownSetting);
        qsizetype at = kind->matchPrefix.size();
        int lowest = 1, highest = kind->instances;
        if (kind->name == QLatin1String("OLD_AINP0"))
            highest = 3;
        else if (kind->name == QLatin1String("OLD_AINP1"))
            lowest = 7;
        if (at >= work.size() || !IsDecDigit(work[at]))
            return fail(kErrUnknownSetting);
        const int k = work[at].unicode() - u'0';
        if (k < lowest || k > highest)
            return fail(kErrUnknownSetting);
        ++at;
        QString rest = work.mid(at);

        std::array<GroupText, kPinGroupCount> groups;
        takeGroup(rest, u'(', u')', groups[int(PinGroup::DigitalIn)]);
        takeGroup(rest, u'[', u']', groups[int(PinGroup::DigitalOut)]);
        takeGroup(rest, u'{', u'}', groups[int(PinGroup::AnalogIn)]);
        takeGroup(rest, u'<', u'>', groups[int(PinGroup::AnalogOut)]);
        const int inputs = groups[int(PinGroup::AnalogIn)].count + groups[int(PinGroup::DigitalIn)].count;
        const int outputs = groups[int(PinGroup::AnalogOut)].count + groups[int(PinGroup::DigitalOut)].count;

        int cell = -1, slot = 0;
        const MacroKind* target = kind;
        if (kind->oldKind) {
            autoPlace_ = 1;
            convertOld(*kind, k, target, slot);
            if (!fits(*target, slot, inputs, outputs))
                return fail(kErrNoCell);
            if (!placeExclusive(*target, cell))
                return false;
        } else if (!autoPlace_) {
            slot = k - 1;
            if (cellNumber < 0 || cellNumber >= image_.cellCount || !fits(*target, slot, inputs, outputs))
                return fail(kErrNoCell);
            cell = cellNumber;
            const int code = target->code(numbering_);
            if (image_.cellType[cell] == 0)
                image_.cellType[cell] = quint8(code);
            else if (image_.cellType[cell] != code)
                return fail(kErrNoCell);
        } else if (target->placement == Placement::Exclusive) {
            slot = k - 1;
            if (!fits(*target, slot, inputs, outputs))
                return fail(kErrNoCell);
            if (!placeExclusive(*target, cell))
                return false;
        } else if (!placePooled(*target, inputs, outputs, cell, slot)) {
            return false;
        }

        quint8* bytes = image_.setMacro + std::size_t(cell) * kMacroCellSize;
        const bool pooledAuto = !kind->oldKind && autoPlace_ && target->placement == Placement::Pooled;
        if (!pooledAuto && !circuitsFree(bytes, slot * target->pinStride, inputs, outputs))
            return fail(kErrSlotTaken);

        if (!readPins(bytes, slot * target->pinStride, groups))
            return false;
        return readParams(rest, bytes, slot, *target, kind->name.startsWith(QLatin1String("OLD_AINP")));
    }

    static void takeGroup(QString& rest, char16_t open, char16_t close, GroupText& group) {
        const qsizetype o = rest.indexOf(QChar(open));
        if (o < 0)
            return;
        const qsizetype c = rest.indexOf(QChar(close));
        if (c <= o)
            return;
        const qsizetype tick = rest.indexOf(QLatin1Char('`'));
        if (tick >= 0 && tick < o)
            return;
        group.content = rest.mid(o + 1, c - o - 1);
        group.count = group.content.isEmpty() ? 0 : int(group.content.count(QLatin1Char(','))) + 1;
        rest.remove(o, c - o + 1);
    }

    static bool fits(const MacroKind& kind, int slot, int inputs, int outputs) {
        const int first = slot * kind.pinStride;
        return first + inputs <= kCellSlots && first + outputs <= kCellSlots;
    }

    static void convertOld(const MacroKind& old, int k, const MacroKind*& target, int& slot) {
        if (old.name.startsWith(QLatin1String("OLD_AINP"))) {
            target = &kindNamed(QLatin1String("AINP"));
            slot = old.name == QLatin1String("OLD_AINP0") ? k - 1 : k - 4;
            return;
        }
        struct Range {
            int first;
            const char* name;
        };
        static constexpr Range kPorts[] = {{61, "XETV16_DL_H2"}, {53, "XETV16_DL_L2"}, {45, "XETV16_DL_H1"},
                                           {37, "XETV16_DL_L1"}, {29, "XET8_2"},       {21, "XET8_1"},
                                           {13, "PORTE"},        {5, "PORTN"},         {1, "RELAY"}};
        const int j = old.name.back().unicode() - u'0';
        const int port = 8 * j + k;
        for (const Range& r : kPorts)
            if (port >= r.first) {
                target = &kindNamed(QLatin1String(r.name));
                slot = port - r.first;
                return;
            }
    }

    bool placeExclusive(const MacroKind& kind, int& cell) {
        const int code = kind.code(numbering_);
        for (int c = 0; c < image_.cellCount; ++c)
            if (image_.cellType[c] == code) {
                cell = c;
                return true;
            }
        for (int c = 0; c < image_.cellCount; ++c)
            if (image_.cellType[c] == 0) {
                image_.cellType[c] = quint8(code);
                cell = c;
                return true;
            }
        return fail(kErrNoCell);
    }

    static bool circuitsFree(const quint8* bytes, int first, int inputs, int outputs) {
        for (int p = first; p < first + inputs; ++p)
            if (bytes[kCellInputCircuits + p])
                return false;
        for (int p = first; p < first + outputs; ++p)
            if (bytes[kCellOutputCircuits + p])
                return false;
        return true;
    }

    // A pooled slot is taken when anything an earlier line stored there would be overwritten:
    // circuits, pin options and times, or the kind's parameter bytes of that instance.
    static bool pooledSlotFree(const quint8* bytes, const MacroKind& kind, int slot, int inputs,
                               int outputs) {
        if (!fits(kind, slot, inputs, outputs))
            return false;
        const int first = slot * kind.pinStride;
        for (int p = first; p < first + inputs; ++p)
            if (bytes[kCellInputCircuits + p] || bytes[kCellInputOptions + p] || bytes[kCellInputTimes + p])
                return false;
        for (int p = first; p < first + outputs; ++p)
            if (bytes[kCellOutputCircuits + p] || bytes[kCellOutputOptions + p] ||
                bytes[kCellOutputTimes + p])
                return false;
        for (const MacroParam& prm : kind.params)
            if (bytes[kCellParams + 8 * prm.bank + slot * kind.paramStride + prm.index])
                return false;
        return true;
    }

    bool placePooled(const MacroKind& kind, int inputs, int outputs, int& cell, int& slot) {
        const int code = kind.code(numbering_);
        for (int c = 0; c < image_.cellCount; ++c) {
            if (image_.cellType[c] != code)
                continue;
            const quint8* bytes = image_.setMacro + std::size_t(c) * kMacroCellSize;
            for (int s = 0; s < kind.instances; ++s)
                if (pooledSlotFree(bytes, kind, s, inputs, outputs)) {
                    cell = c;
                    slot = s;
                    return true;
                }
        }
        if (!fits(kind, 0, inputs, outputs))
            return fail(kErrNoCell);
        for (int c = 0; c < image_.cellCount; ++c)
            if (image_.cellType[c] == 0) {
                image_.cellType[c] = quint8(code);
                cell = c;
                slot = 0;
                return true;
            }
        return fail(kErrNoCell);
    }

    // "a" or "d" followed by a hexadecimal label of at most FF.
    static int label(QStringView circuit) {
        if (circuit.size() < 2)
            return -1;
        int v = 0;
        for (qsizetype i = 1; i < circuit.size(); ++i) {
            const int h = HexDigitValue(circuit[i]);
            if (h < 0)
                return -1;
            v = v * 16 + h;
            if (v > 0xFF)
                return -1;
        }
        return v;
    }

    bool readPins(quint8* bytes, int first, const std::array<GroupText, kPinGroupCount>& groups) {
        int posIn = first, posOut = first;
        for (PinGroup g :
             {PinGroup::AnalogIn, PinGroup::DigitalIn, PinGroup::AnalogOut, PinGroup::DigitalOut}) {
            const GroupText& group = groups[int(g)];
            if (group.count == 0)
                continue;
            const bool input = g == PinGroup::AnalogIn || g == PinGroup::DigitalIn;
            const bool digital = g == PinGroup::DigitalIn || g == PinGroup::DigitalOut;
            int& pos = input ? posIn : posOut;
            for (QStringView item : QStringView(group.content).split(QLatin1Char(','))) {
                const int p = pos++;
                if (item == QLatin1String("NULL"))
                    continue;
                const QStringView circuit = TextBetween(item, QLatin1Char('"'));
                quint8 number = 0;
                if (!digital) {
                    if (!circuit.isEmpty()) {
                        const int l = circuit.startsWith(QLatin1Char('a')) ? label(circuit) : -1;
                        const int k = l < 0 ? 0 : analog_.circuitFor(l);
                        if (k == 0)
                            return fail(kErrNoAnalogCircuit);
                        number = quint8(k);
                    }
                } else if (circuit == QLatin1String("d=0")) {
                    number = 254;
                } else if (circuit == QLatin1String("d=1")) {
                    number = 255;
                } else if (!circuit.isEmpty()) {
                    const int l = circuit.startsWith(QLatin1Char('d')) ? label(circuit) : -1;
                    // The writer shows an output wired to a constant as "dFE" or "dFF": that is the
                    // constant again, not a circuit of its own.
                    const bool constantOutput = !input && l >= 254;
                    const int k = constantOutput ? l : l < 0 ? 0 : digital_.circuitFor(l);
                    if (k == 0)
                        return fail(kErrNoDigitalCircuit);
                    number = quint8(k);
                }
                bytes[(input ? kCellInputCircuits : kCellOutputCircuits) + p] = number;
                if (!digital)
                    continue;
                quint8 options = 0, times = 0;
                if (!readOptions(TextBetween(item, QLatin1Char('\'')).toString(), options, times))
                    return false;
                bytes[(input ? kCellInputOptions : kCellOutputOptions) + p] = options;
                bytes[(input ? kCellInputTimes : kCellOutputTimes) + p] = times;
            }
        }
        return true;
    }

    // Reads "t1;t2" at `at` of `opts`, removes it and interns both times. Each time may start with
    // a sign: the writer writes negative times with "-".
    bool readTimePair(QString& opts, qsizetype at, quint8& times) {
        qsizetype i = at;
        const qsizetype n = opts.size();
        auto timeChar = [&](qsizetype j) { return IsDecDigit(opts[j]) || opts[j] == QLatin1Char('.'); };
        auto skipSign = [&] {
            if (i < n && (opts[i] == QLatin1Char('-') || opts[i] == QLatin1Char('+')))
                ++i;
        };
        skipSign();
        while (i < n && timeChar(i))
            ++i;
        if (i >= n || opts[i] != QLatin1Char(';'))
            return fail(kErrPinTime);
        const QString t1 = opts.mid(at, i - at);
        const qsizetype second = ++i;
        skipSign();
        while (i < n && timeChar(i))
            ++i;
        if (i < n && opts[i] == QLatin1Char(';'))
            return fail(kErrPinTime);
        const QString t2 = opts.mid(second, i - second);
        opts.remove(at, i - at);
        qint32 v1 = 0, v2 = 0;
        if (t1.isEmpty() || t2.isEmpty() || !ParseValue(t1, kValueHundredths, v1) ||
            !ParseValue(t2, kValueHundredths, v2))
            return fail(kErrPinTime);
        const int n1 = InternTime(v1, image_.paramCell);
        if (n1 < 0)
            return fail(n1);
        const int n2 = InternTime(v2, image_.paramCell);
        if (n2 < 0)
            return fail(n2);
        times = quint8(times | (n1 << 4) | n2);
        return true;
    }

    bool readOptions(QString opts, quint8& options, quint8& times) {
        struct Marker {
            const char* text;
            quint8 bits;
        };
        static constexpr Marker kEdges[] = {{"#", 0x02}, {"|", 0x0E}, {"/", 0x06}, {"\\", 0x0A}};
        for (const Marker& m : kEdges) {
            const qsizetype at = opts.indexOf(QLatin1String(m.text));
            if (at >= 0) {
                opts.remove(at, 1);
                options |= m.bits;
            }
        }
        for (int run = 12; run >= 1; --run) {
            const qsizetype at = opts.indexOf(QString(run, QLatin1Char('^')));
            if (at < 0)
                continue;
            opts.remove(at, run);
            options |= quint8(run << 4);
            if (!readTimePair(opts, at, times))
                return false;
        }
        static constexpr Marker kPulses[] = {{"m", 13 << 4}, {"f", 14 << 4}, {"g", 15 << 4}, {"~", 0x01}};
        for (const Marker& m : kPulses) {
            const qsizetype at = opts.indexOf(QLatin1String(m.text));
            if (at < 0)
                continue;
            opts.remove(at, 1);
            options |= m.bits;
            if ((m.text[0] == 'm' || m.text[0] == 'g') && !readTimePair(opts, at, times))
                return false;
        }
        opts.remove(QLatin1Char(' '));
        if (!opts.isEmpty())
            return fail(kErrUnknownOption);
        return true;
    }

    enum class Address { Ok, Malformed, Outside };

    // Bank digit and index digit at `at`, and the byte they address for this instance.
    static Address bankIndex(QStringView r, qsizetype& at, int slot, const MacroKind& kind, int& offset,
                             int& bank) {
        if (at + 2 > r.size() || (r[at] != QLatin1Char('0') && r[at] != QLatin1Char('1')))
            return Address::Malformed;
        const int index = HexDigitValue(r[at + 1]);
        if (index < 0)
            return Address::Malformed;
        bank = r[at].unicode() - u'0';
        at += 2;
        // A parameter addressed past the cell's sixteen parameter bytes would land in another cell.
        offset = 8 * bank + slot * kind.paramStride + index;
        return offset < kCellParamBytes ? Address::Ok : Address::Outside;
    }

    // Finds backticks in one parameter text. Their positions are collected once, so that a line
    // of many parameters is scanned once rather than once per parameter.
    class Ticks {
    public:
        explicit Ticks(QStringView r) : r_(r) {
            for (qsizetype i = r.indexOf(QLatin1Char('`')); i >= 0; i = r.indexOf(QLatin1Char('`'), i + 1))
                positions_.push_back(i);
        }

        // The first backtick at or after `from`, or -1.
        qsizetype next(qsizetype from) const {
            const auto it = std::lower_bound(positions_.begin(), positions_.end(), from);
            return it == positions_.end() ? -1 : *it;
        }

        // The value between the first two backticks from `at` on (running to the end when the
        // second is missing); `at` advances by the value's length plus two, as far as the text goes.
        QStringView take(qsizetype& at) {
            QStringView value;
            const qsizetype a = next(at);
            if (a >= 0) {
                const qsizetype b = next(a + 1);
                value = b < 0 ? r_.mid(a + 1) : r_.mid(a + 1, b - a - 1);
            }
            at = std::min(r_.size(), at + value.size() + 2);
            return value;
        }

    private:
        QStringView r_;
        std::vector<qsizetype> positions_;
    };

    // One or two hexadecimal digits at the start, at most 7E: a variable number.
    static int variableNumber(QStringView value) {
        int v = -1;
        for (qsizetype i = 0; i < value.size() && i < 2; ++i) {
            const int h = HexDigitValue(value[i]);
            if (h < 0)
                break;
            v = (v < 0 ? 0 : v * 16) + h;
        }
        return v <= 0x7E ? v : -1;
    }

    bool readParams(const QString& rest, quint8* bytes, int slot, const MacroKind& kind, bool oldAnalog) {
        const QStringView r(rest);
        Ticks ticks(r);
        qsizetype at = 0;
        QString formula;
        quint8* params = bytes + kCellParams;
        while (at < r.size()) {
            int offset = 0, bank = 0;
            const QStringView tail = r.mid(at);
            if (tail.startsWith(QLatin1String("TXT"))) {
                at += 3;
                if (bankIndex(r, at, slot, kind, offset, bank) != Address::Ok)
                    return fail(kErrTextParam);
                const QChar where = at < r.size() ? r[at] : QChar();
                if (where != QLatin1Char('C') && where != QLatin1Char('V'))
                    return fail(kErrTextLocation);
                ++at;
                const QStringView value = ticks.take(at);
                if (where == QLatin1Char('C')) {
                    const int ref = InternText(value, image_.setText, image_.textWidth, image_.textCount);
                    if (ref < 0)
                        return fail(ref);
                    params[offset] = quint8(ref);
                } else {
                    const int n = variableNumber(value);
                    if (n < 0)
                        return fail(kErrTextParam);
                    params[offset] = quint8(n + 129);
                }
            } else if (tail.startsWith(QLatin1String("BITS"))) {
                at += 4;
                if (bankIndex(r, at, slot, kind, offset, bank) != Address::Ok)
                    return fail(kErrBitsParam);
                const QStringView value = ticks.take(at);
                quint8 bits = 0;
                for (QChar ch : value) {
                    if (ch < QLatin1Char('0') || ch > QLatin1Char('7'))
                        return fail(kErrBitsValue);
                    bits |= quint8(1u << (ch.unicode() - u'0'));
                }
                params[offset] = bits;
            } else if (tail.startsWith(QLatin1String("VAR"))) {
                at += 3;
                // The old analog inputs keep no numbers (their VAR parameters become a formula
                // text), so only the bank matters there, not the byte addressed.
                const Address address = bankIndex(r, at, slot, kind, offset, bank);
                if (address == Address::Malformed || (address == Address::Outside && !oldAnalog))
                    return fail(kErrNumberParam);
                const int format = at < r.size() ? r[at].unicode() - u'0' : -1;
                if (format < 0 || format > 3)
                    return fail(kErrNumberParam);
                ++at;
                const QChar where = at < r.size() ? r[at] : QChar();
                if (where != QLatin1Char('C') && where != QLatin1Char('V'))
                    return fail(kErrNumberLocation);
                ++at;
                const QStringView value = ticks.take(at);
                QString term;
                if (where == QLatin1Char('V')) {
                    const int n = variableNumber(value);
                    if (n < 0)
                        return fail(kErrNumberParam);
                    if (oldAnalog)
                        term = QLatin1String("\\z") + QString::number(n);
                    else
                        params[offset] = quint8(n + 129);
                } else {
                    qint32 v = 0;
                    if (!ParseValue(value, format, v))
                        return fail(kErrNumberParam);
                    if (oldAnalog) {
                        term = FormatValue(v, kValueTenThousandths, QLatin1Char(','), false);
                    } else {
                        const int ref = InternNumber(v, image_.setNumer, image_.numerCount);
                        if (ref < 0)
                            return fail(ref);
                        params[offset] = quint8(ref);
                    }
                }
                if (oldAnalog) {
                    if (!formula.isEmpty())
                        formula += QLatin1Char(' ');
                    formula += term;
                    formula += QLatin1String(bank == 0 ? " *" : " +");
                }
            } else if (tail.startsWith(QLatin1String("BYTE"))) {
                at += 4;
                if (bankIndex(r, at, slot, kind, offset, bank) != Address::Ok)
                    return fail(kErrByteParam);
                const QStringView value = ticks.take(at);
                int v = -1;
                for (qsizetype i = 0; i < value.size() && i < 3 && IsDecDigit(value[i]); ++i)
                    v = (v < 0 ? 0 : v * 10) + (value[i].unicode() - u'0');
                if (v < 0 || v > 255)
                    return fail(kErrByteValue);
                params[offset] = quint8(v);
            } else {
                return fail(kErrUnknownParam);
            }
        }
        if (!formula.isEmpty()) {
            const int ref =
                InternText(EncodeField(reinterpret_cast<const quint8*>(formula.toLatin1().constData()),
                                       int(formula.size())),
                           image_.setText, image_.textWidth, image_.textCount);
            if (ref < 0)
                return fail(ref);
            params[8 + slot * kind.paramStride] = quint8(ref);
        }
        return true;
    }

    QStringView text_;
    qsizetype& pos_;
    const LogicImage& image_;
    quint8& autoPlace_;
    Numbering numbering_;
    bool qpa_;
    RemapIndex digital_;
    RemapIndex analog_;
};

} // namespace

bool ReadLogicSection(QStringView text, qsizetype& pos, const LogicImage& image, LogicEdition edition,
                      quint8& AutoPlace, quint8* digital, quint8* analog) {
    Reader reader(text, pos, image, edition, AutoPlace, digital, analog);
    return reader.run();
}

namespace {

// The string-consuming form: the text read is removed from the front of the caller's text.
template <class Config>
bool readAndConsume(QString& text, Config& image, LogicEdition edition, quint8& AutoPlace,
                    TDCircuitRemap& digital, TACircuitRemap& analog) {
    qsizetype pos = 0;
    const bool ok = ReadLogicSection(text, pos, logicImage(image), edition, AutoPlace, digital.DCircuitConns,
                                     analog.ACircuitConns);
    text.remove(0, pos);
    return ok;
}

} // namespace

bool ReadLogicSection(QString& text, TNodarixQPAConfig& image, quint8& AutoPlace, TDCircuitRemap& digital,
                      TACircuitRemap& analog) {
    return readAndConsume(text, image, LogicEdition::QPA, AutoPlace, digital, analog);
}

bool ReadLogicSection(QString& text, TNodarixQPBConfig& image, quint8& AutoPlace, TDCircuitRemap& digital,
                      TACircuitRemap& analog) {
    return readAndConsume(text, image, LogicEdition::QPB, AutoPlace, digital, analog);
}

int InternText(QStringView value, quint8* table, int entrySize, int entryCount) {
    if (value.isEmpty() || entrySize <= 0)
        return 0;
    // Compare decoded bytes, so that escapes of any spelling (upper- or lower-case digits,
    // escaped delimiters in aliases) find the same entry.
    QByteArray decoded(entrySize, '\0');
    DecodeField(value, reinterpret_cast<quint8*>(decoded.data()), entrySize);
    const std::size_t length = qstrnlen(decoded.constData(), entrySize);
    if (length == 0)
        return 0;
    for (int e = 0; e < entryCount; ++e) {
        const quint8* entry = table + std::size_t(e) * entrySize;
        if (entry[0] != quint8(decoded[0]) || std::memcmp(entry, decoded.constData(), length) != 0)
            continue;
        if (length == std::size_t(entrySize) || entry[length] == 0)
            return e + 1;
    }
    for (int e = 0; e < entryCount; ++e) {
        quint8* entry = table + std::size_t(e) * entrySize;
        if (entry[0] == 0) {
            DecodeField(value, entry, entrySize);
            return e + 1;
        }
    }
    return kErrNoTextSlot;
}

int InternNumber(qint32 value, quint8* table, int entryCount) {
    if (value == 0)
        return 0;
    for (int e = 0; e < entryCount; ++e)
        if (le::GetS32(table + 4 * e) == value)
            return e + 1;
    for (int e = 0; e < entryCount; ++e)
        if (le::GetS32(table + 4 * e) == 0) {
            le::PutS32(table + 4 * e, value);
            return e + 1;
        }
    return kErrNoNumberSlot;
}

int InternTime(qint32 value, quint8* paramCell) {
    if (value == 0)
        return 0;
    for (int e = 1; e < 16; ++e)
        if (le::GetS32(paramCell + 4 * e) == value)
            return e;
    for (int e = 1; e < 16; ++e)
        if (le::GetS32(paramCell + 4 * e) == 0) {
            le::PutS32(paramCell + 4 * e, value);
            return e;
        }
    return kErrNoTimeSlot;
}
