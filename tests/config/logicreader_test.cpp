#include "config/ConfigError.h"
#include "config/LogicSection.h"
#include "config/Records.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {

std::string s(const QString& q) {
    return q.toStdString();
}

QString q(const char* text) {
    return QString::fromUtf8(text);
}

template <class Config> struct Image {
    std::unique_ptr<Config> cfg = std::make_unique<Config>();
    TDCircuitRemap digital{};
    TACircuitRemap analog{};
    quint8 autoPlace = 0;
    QString rest;

    Image() { ClearRecord(*cfg); }

    // 0 on success, else the error code.
    int read(const QString& text) {
        LastConfigError = 0;
        rest = text;
        const bool ok = ReadLogicSection(rest, *cfg, autoPlace, digital, analog);
        EXPECT_EQ(ok, LastConfigError == 0);
        return ok ? 0 : LastConfigError;
    }
    int read(const char* text) { return read(q(text)); }

    TMacroCell& cell(int c) { return cfg->Set_Macro[c]; }
    std::string text(int entry) const {
        return std::string(reinterpret_cast<const char*>(cfg->Set_Text[entry]),
                           qstrnlen(reinterpret_cast<const char*>(cfg->Set_Text[entry]), Config::kTextWidth));
    }
    qint32 number(int entry) const { return le::GetS32(cfg->Set_Numer[entry]); }
};
using QPA = Image<TNodarixQPAConfig>;
using QPB = Image<TNodarixQPBConfig>;

// Parameters read on the first AINP instance in explicit placement.
struct ParamCase {
    const char* params;
    int error;  // 0 = success
    int offset; // parameter byte checked on success
    int value;  // its expected value
};

class ReaderParams : public testing::TestWithParam<ParamCase> {};

TEST_P(ReaderParams, StoresOrFails) {
    const ParamCase& p = GetParam();
    QPA img;
    const int error = img.read(q("\tM00:AINP*5-1<O>") + q(p.params) + q("\r\n"));
    EXPECT_EQ(error, p.error) << p.params;
    if (p.error == 0) {
        EXPECT_EQ(img.cell(0).Params[p.offset], p.value) << p.params;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, ReaderParams,
    testing::Values(ParamCase{"TXT00V`7F`", kErrTextParam, 0, 0}, ParamCase{"TXT00V`7E`", 0, 0, 255},
                    ParamCase{"TXT00V`5x`", 0, 0, 134}, ParamCase{"TXT00V``", kErrTextParam, 0, 0},
                    ParamCase{"TXT20C`a`", kErrTextParam, 0, 0}, ParamCase{"TXT0GC`a`", kErrTextParam, 0, 0},
                    ParamCase{"TXT00X`a`", kErrTextLocation, 0, 0}, ParamCase{"TXT00C``", 0, 0, 0},
                    ParamCase{"BYTE00`2345`", 0, 0, 234}, ParamCase{"BYTE00`x`", kErrByteValue, 0, 0},
                    ParamCase{"BYTE00`256`", kErrByteValue, 0, 0}, ParamCase{"BYTE0`1`", kErrByteParam, 0, 0},
                    ParamCase{"BITS00`8`", kErrBitsValue, 0, 0}, ParamCase{"BITS17`7070`", 0, 15, 0x81},
                    ParamCase{"BITS00``", 0, 0, 0}, ParamCase{"BITS2", kErrBitsParam, 0, 0},
                    ParamCase{"VAR000C`24:00:00`", 0, 0, 1},
                    ParamCase{"VAR000C`7:30:00`", kErrNumberParam, 0, 0},
                    ParamCase{"VAR004C`1`", kErrNumberParam, 0, 0},
                    ParamCase{"VAR002X`1`", kErrNumberLocation, 0, 0}, ParamCase{"VAR002C`0`", 0, 0, 0},
                    ParamCase{"VAR012V`10`", 0, 1, 145}, ParamCase{"VAR002V`7F`", kErrNumberParam, 0, 0},
                    ParamCase{"VAR001C`2147483648`", kErrNumberParam, 0, 0},
                    ParamCase{"VAR002C`21474836.48`", kErrNumberParam, 0, 0},
                    ParamCase{"VAR001C`-2147483648`", 0, 0, 1},
                    ParamCase{"BYTE00`1` ", kErrUnknownParam, 0, 0}, ParamCase{"XYZ", kErrUnknownParam, 0, 0},
                    // Bank, index and instance must address one of the cell's sixteen bytes.
                    ParamCase{"TXT1FC`a`", kErrTextParam, 0, 0}, ParamCase{"BITS1F`1`", kErrBitsParam, 0, 0},
                    ParamCase{"VAR1F1C`1`", kErrNumberParam, 0, 0},
                    ParamCase{"BYTE1F`1`", kErrByteParam, 0, 0}, ParamCase{"BYTE0F`1`", 0, 15, 1}));

TEST(LogicReader, ParameterTextMayHoldBrackets) {
    QPA img;
    ASSERT_EQ(img.read("\tM00:AINP*5-1<O>TXT10C`(x)`\r\n"), 0);
    EXPECT_EQ(img.text(0), "(x)");
    EXPECT_EQ(img.cell(0).Params[8], 1);
    EXPECT_EQ(img.cell(0).InCircuits[0], 0);
}

TEST(LogicReader, ExplicitPlacementAndSectionEnd) {
    QPA img;
    ASSERT_EQ(img.read("\tM05:PORTN*8-3(I \"d12\" '~')[O \"d13\"]BITS00`20`TXT10C`Lamp`\r\n"
                       "\tM05:PORTN*8-4(I \"d12\")\r\n#dcircuit\r\n\tdcirc_12=\"x\"\r\n"),
              0);
    EXPECT_EQ(s(img.rest), "#dcircuit\r\n\tdcirc_12=\"x\"\r\n");
    EXPECT_EQ(s(LastConfigLine), "#dcircuit");
    EXPECT_EQ(img.autoPlace, 0);
    EXPECT_EQ(img.cfg->CellType[5], 2);
    const TMacroCell& c = img.cell(5);
    EXPECT_EQ(c.InCircuits[2], 1); // first label met becomes circuit 1
    EXPECT_EQ(c.InOptions[2], 1);
    EXPECT_EQ(c.OutCircuits[2], 2);
    EXPECT_EQ(c.InCircuits[3], 1); // same label, same circuit
    EXPECT_EQ(c.Params[2], 0x05);
    EXPECT_EQ(c.Params[10], 1);
    EXPECT_EQ(img.text(0), "Lamp");
    EXPECT_EQ(img.digital.DCircuitConns[0], 1);
    EXPECT_EQ(img.digital.DCircuitConns[1], 0x12);
    EXPECT_EQ(img.digital.DCircuitConns[3], 0x13);
}

TEST(LogicReader, AutomaticPlacementOfExclusiveAndPooledKinds) {
    QPA img;
    img.autoPlace = 1;
    ASSERT_EQ(img.read("\tM07:AND2*4-4(I1 \"d01\",I2)[O,O]\r\n"
                       "\tAND2*4-1(I1 \"d02\")\r\n"
                       "\tAND2*4-1(I1 \"d03\")\r\n"
                       "\tAND2*4-1(I1 \"d04\")\r\n"
                       "\tAND2*4-1(I1 \"d05\")\r\n"
                       "\tRELAY*4-3(I \"d06\")\r\n"),
              0);
    EXPECT_EQ(img.cfg->CellType[0], 12);
    EXPECT_EQ(img.cfg->CellType[1], 12);
    EXPECT_EQ(img.cfg->CellType[2], 1);
    EXPECT_EQ(img.cell(0).InCircuits[0], 1);
    EXPECT_EQ(img.cell(0).InCircuits[2], 2);
    EXPECT_EQ(img.cell(0).InCircuits[4], 3);
    EXPECT_EQ(img.cell(0).InCircuits[6], 4);
    EXPECT_EQ(img.cell(1).InCircuits[0], 5);
    EXPECT_EQ(img.cell(2).InCircuits[2], 6); // exclusive: instance 3 is slot 2
}

TEST(LogicReader, PooledSlotHoldingParametersCountsAsTaken) {
    QPA img;
    img.autoPlace = 1;
    ASSERT_EQ(img.read("\tTEXTRX*8-1(I)[O]TXT00C`first`\r\n"
                       "\tTEXTRX*8-1(I)[O]TXT00C`second`\r\n"
                       "\tBUF*8-1(I '~')\r\n"
                       "\tBUF*8-1(I)\r\n"),
              0);
    EXPECT_EQ(img.cell(0).Params[0], 1);
    EXPECT_EQ(img.cell(0).Params[1], 2);
    EXPECT_EQ(img.cfg->CellType[1], 7);
    EXPECT_EQ(img.cell(1).InOptions[0], 1);
    EXPECT_EQ(img.cell(1).InOptions[1], 0);
}

TEST(LogicReader, LineWithoutPrefixOrEmptyCellSwitchesToAutomaticPlacement) {
    QPA img;
    ASSERT_EQ(img.read("\tM00:RELAY*4-1(I \"d01\")\r\n\t---\r\n\tM09:PORTN*8-1(I \"d02\")\r\n"), 0);
    EXPECT_EQ(img.autoPlace, 1);
    EXPECT_EQ(img.cfg->CellType[1], 2);
    EXPECT_EQ(img.cfg->CellType[9], 0);
    // An empty cell as the last line of the text ends the section like any other line.
    QPA tail;
    EXPECT_EQ(tail.read("\tM00:RELAY*4-1(I \"d01\")\r\n\t---\r\n"), 0);
}

TEST(LogicReader, OldPortsAndAnalogInputsAreConverted) {
    QPA img;
    ASSERT_EQ(img.read("\tM03:OLD_PORT2*8-5(I \"d01\")[O]BITS00`1`\r\n"
                       "\tM03:OLD_PORT0*8-2(I \"d02\")\r\n"
                       "\tM03:OLD_AINP1*8-8<O \"a01\">VAR003C`0.0125`VAR103C`-5`\r\n"
                       "\tM03:OLD_AINP0*8-1<O>VAR000V`05`\r\n"),
              0);
    EXPECT_EQ(img.autoPlace, 1);
    EXPECT_EQ(img.cfg->CellType[0], 53); // XET8_1: port 21 is its slot 0
    EXPECT_EQ(img.cell(0).InCircuits[0], 1);
    EXPECT_EQ(img.cell(0).Params[0], 0x02);
    EXPECT_EQ(img.cfg->CellType[1], 1); // RELAY slot 1
    EXPECT_EQ(img.cell(1).InCircuits[1], 2);
    EXPECT_EQ(img.cfg->CellType[2], 4); // AINP
    EXPECT_EQ(img.cell(2).OutCircuits[4], 1);
    EXPECT_EQ(img.cell(2).Params[8 + 4], 1);
    EXPECT_EQ(img.text(0), "0,0125 * -5 +");
    EXPECT_EQ(img.cell(2).Params[8 + 0], 2);
    EXPECT_EQ(img.text(1), "\\z5 *");
    EXPECT_EQ(img.cell(2).Params[0], 0); // the VAR parameters themselves are not kept
    EXPECT_EQ(img.number(0), 0);

    QPA bad;
    EXPECT_EQ(bad.read("\tOLD_AINP0*8-4<O>\r\n"), kErrUnknownSetting);
}

struct ErrorCase {
    const char* name;
    bool qpb;
    const char* text;
    int error;
};

class ReaderErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(ReaderErrors, FailsWithCode) {
    const ErrorCase& e = GetParam();
    int error;
    if (e.qpb) {
        QPB img;
        error = img.read(e.text);
    } else {
        QPA img;
        error = img.read(e.text);
    }
    EXPECT_EQ(error, e.error) << e.text;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ReaderErrors,
    testing::Values(
        ErrorCase{"blank_line", false, "\r\n\tM00:RELAY*4-1(I)\r\n", kErrUnknownSetting},
        ErrorCase{"empty_text", false, "", kErrUnknownSetting},
        ErrorCase{"instance_above_count", false, "\tTR*4-5(T,R)[Q,Q]\r\n", kErrUnknownSetting},
        ErrorCase{"instance_zero", false, "\tTR*4-0(T,R)[Q,Q]\r\n", kErrUnknownSetting},
        ErrorCase{"qpb_kind_in_qpa", false, "\tGRADIENT_A*2-1{I}<G>[F1,F2,F3]\r\n", kErrUnknownSetting},
        ErrorCase{"qpb_kind_in_qpb", true, "\tGRADIENT_A*2-1{I}<G>[F1,F2,F3]\r\n", 0},
        ErrorCase{"step_motor_in_qpa", false, "\tSTEP_MOT_1*1-1(R)\r\n", kErrUnknownSetting},
        ErrorCase{"wrong_count", false, "\tRELAY*8-1(I)\r\n", kErrUnknownSetting},
        ErrorCase{"bad_digital", false, "\tBUF*8-1(I \"x01\")\r\n", kErrNoDigitalCircuit},
        ErrorCase{"digital_without_label", false, "\tBUF*8-1(I \"d\")\r\n", kErrNoDigitalCircuit},
        ErrorCase{"digital_label_above_FF", false, "\tBUF*8-1(I \"d100\")\r\n", kErrNoDigitalCircuit},
        ErrorCase{"bad_analog", false, "\tABUFOR*8-1{I \"d01\"}\r\n", kErrNoAnalogCircuit},
        ErrorCase{"time_without_pair", false, "\tBUF*8-1(I '^')\r\n", kErrPinTime},
        ErrorCase{"time_second_semicolon", false, "\tBUF*8-1(I 'm1;2;3')\r\n", kErrPinTime},
        ErrorCase{"time_empty_t2", false, "\tBUF*8-1(I 'g1;')\r\n", kErrPinTime},
        ErrorCase{"time_bad_number", false, "\tBUF*8-1(I 'm1.2.3;0')\r\n", kErrPinTime},
        ErrorCase{"unknown_option", false, "\tBUF*8-1(I '~x')\r\n", kErrUnknownOption},
        ErrorCase{"bad_cell_number", false, "\tMxZ:BUF*8-1(I)\r\n", kErrCellNumber},
        ErrorCase{"cell_beyond_qpa", false, "\tM28:BUF*8-1(I)\r\n", kErrNoCell},
        ErrorCase{"cell_in_qpb", true, "\tM3F:BUF*8-1(I)\r\n", 0},
        ErrorCase{"cell_beyond_qpb", true, "\tM40:BUF*8-1(I)\r\n", kErrNoCell},
        ErrorCase{"pins_beyond_cell", false, "\tM00:AND2*4-4(I1,I2,I3)[O,O]\r\n", kErrNoCell},
        ErrorCase{"pins_beyond_cell_pooled", false, "\tOR8*1-1(I1,I2,I3,I4,I5,I6,I7,I8,I9)\r\n", kErrNoCell},
        ErrorCase{"cell_of_other_kind", false, "\tM00:BUF*8-1(I)\r\n\tM00:AND2*4-1(I1,I2)\r\n", kErrNoCell},
        ErrorCase{"slot_taken", false, "\tM00:RELAY*4-1(I \"d01\")\r\n\tM00:RELAY*4-1(I \"d02\")\r\n",
                  kErrSlotTaken}),
    [](const testing::TestParamInfo<ErrorCase>& i) { return std::string(i.param.name); });

TEST(LogicReader, FailingLineIsRemovedAndReported) {
    QPA img;
    EXPECT_EQ(img.read("\tM00:RELAY*4-1(I \"d01\")\r\n\tM00:RELAY*4-9(I)\r\n#text\r\n"), kErrUnknownSetting);
    EXPECT_EQ(s(LastConfigLine), "\tM00:RELAY*4-9(I)");
    EXPECT_EQ(s(img.rest), "#text\r\n");
    EXPECT_EQ(img.cell(0).InCircuits[0], 1); // nothing stored before the failure is undone
}

TEST(LogicReader, CircuitLabelsAndConstants) {
    QPA img;
    ASSERT_EQ(img.read("\tM00:OR2*4-1(I1 \"d=0\",I2 \"d0A\")[O \"d=1\",O \"d0a\"]\r\n"
                       "\tM00:ABUFOR*8-1{I \"a7\"}<O \"a07\">\r\n"),
              kErrNoCell); // ABUFOR into an OR2 cell
    EXPECT_EQ(img.cell(0).InCircuits[0], 254);
    EXPECT_EQ(img.cell(0).InCircuits[1], 1);
    EXPECT_EQ(img.cell(0).OutCircuits[1], 1);
    EXPECT_EQ(img.digital.DCircuitConns[2], 0); // only one digital pair in use
    // d=1 on an output is no constant text there: it is a malformed label.
    EXPECT_EQ(img.cell(0).OutCircuits[0], 255);
}

// The writer shows an output wired to a constant as "dFE" or "dFF": it reads back as the constant,
// taking no circuit; on an input (where the writer uses "d=0" and "d=1") such a label stays a circuit.
TEST(LogicReader, ConstantOutputsReadBackAsConstants) {
    QPB img;
    ASSERT_EQ(img.read("\tM00:OR2*4-1(I1 \"dFE\",I2 \"d01\")[O \"dFE\",O \"dff\"]\r\n"), 0);
    EXPECT_EQ(img.cell(0).OutCircuits[0], 254);
    EXPECT_EQ(img.cell(0).OutCircuits[1], 255);
    EXPECT_EQ(img.cell(0).InCircuits[0], 1);
    EXPECT_EQ(img.cell(0).InCircuits[1], 2);
    EXPECT_EQ(img.digital.DCircuitConns[1], 0xFE) << "the input's label FE took the first circuit";
    EXPECT_EQ(img.digital.DCircuitConns[4], 0) << "no third circuit";
}

// QPA has analog circuits 1 to 31, QPB 1 to 253.
TEST(LogicReader, AnalogCircuitsAreLimitedTo31InQpaAnd253InQpb) {
    auto lines = [](int count) {
        QString text;
        for (int i = 0; i < count; ++i)
            text += QStringLiteral("\tABUFOR*8-1{I \"a%1\"}\r\n").arg(i + 1, 2, 16, QLatin1Char('0'));
        return text;
    };
    QPA qpa;
    EXPECT_EQ(qpa.read(lines(32)), kErrNoAnalogCircuit);
    EXPECT_EQ(s(LastConfigLine), "\tABUFOR*8-1{I \"a20\"}");
    QPB full;
    ASSERT_EQ(full.read(lines(253)), 0);
    EXPECT_EQ(full.analog.ACircuitConns[2 * 253 - 1], 0xFD);
    QPB over;
    EXPECT_EQ(over.read(lines(254)), kErrNoAnalogCircuit);
    EXPECT_EQ(s(LastConfigLine), "\tABUFOR*8-1{I \"afe\"}");
}

TEST(LogicReader, OptionsTextsWithTimes) {
    QPA img;
    ASSERT_EQ(img.read("\tM00:BUF*8-1(I ' ~ #')[O '/^^2.5;0.05']\r\n"
                       "\tM00:BUF*8-2(I '|m2.5;0')[O '\\g0;1']\r\n"
                       "\tM00:BUF*8-3(I 'f~')\r\n"),
              0);
    const TMacroCell& c = img.cell(0);
    EXPECT_EQ(c.InOptions[0], 0x03);
    EXPECT_EQ(c.OutOptions[0], 0x26);
    EXPECT_EQ(c.OutTimes[0], 0x12);
    EXPECT_EQ(GetParamTime(img.cfg->Param_Cell, 1), 250);
    EXPECT_EQ(GetParamTime(img.cfg->Param_Cell, 2), 5);
    EXPECT_EQ(c.InOptions[1], 0xDE);
    EXPECT_EQ(c.InTimes[1], 0x10);
    EXPECT_EQ(c.OutOptions[1], 0xFA);
    EXPECT_EQ(c.OutTimes[1], 0x03);
    EXPECT_EQ(GetParamTime(img.cfg->Param_Cell, 3), 100);
    EXPECT_EQ(c.InOptions[2], 0xE1);
}

TEST(LogicReader, InternTimeHoldsFifteenDistinctValues) {
    TParam_Cell cells{};
    for (int i = 1; i <= 15; ++i)
        EXPECT_EQ(InternTime(i * 10, cells.Time[0]), i);
    EXPECT_EQ(InternTime(70, cells.Time[0]), 7);
    EXPECT_EQ(InternTime(0, cells.Time[0]), 0);
    EXPECT_EQ(InternTime(999, cells.Time[0]), kErrNoTimeSlot);
    EXPECT_EQ(GetParamTime(cells, 0), 0);

    QPA img;
    QString text;
    for (int i = 1; i <= 16; ++i)
        text += QStringLiteral("\tBUF*8-1(I 'm%1;0')\r\n").arg(i);
    EXPECT_EQ(img.read(text), kErrNoTimeSlot);
}

TEST(LogicReader, InternTextFindsEqualEntries) {
    auto cfg = std::make_unique<TNodarixQPBConfig>();
    ClearRecord(*cfg);
    quint8* table = cfg->Set_Text[0];
    const QString forty = QString(40, QLatin1Char('x'));
    EXPECT_EQ(InternText(forty, table, 256, 128), 1);
    EXPECT_EQ(InternText(forty, table, 256, 128), 1);
    EXPECT_EQ(InternText(forty.left(32), table, 256, 128), 2);
    EXPECT_EQ(InternText(forty.left(32), table, 256, 128), 2);
    EXPECT_EQ(InternText(QString(), table, 256, 128), 0);
    // Any spelling of the same bytes finds the same entry: escaped delimiters, lower-case digits.
    EXPECT_EQ(InternText(q("Main \"pump\" \\E9"), table, 256, 128), 3);
    EXPECT_EQ(InternText(q("Main \\22pump\\22 \\e9"), table, 256, 128), 3);
    EXPECT_EQ(cfg->Set_Text[2][12], 0xE9);

    auto qpa = std::make_unique<TNodarixQPAConfig>();
    ClearRecord(*qpa);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(InternText(QString::number(i), qpa->Set_Text[0], 32, 64), i + 1);
    EXPECT_EQ(InternText(q("17"), qpa->Set_Text[0], 32, 64), 18);
    EXPECT_EQ(InternText(q("new"), qpa->Set_Text[0], 32, 64), kErrNoTextSlot);
    EXPECT_EQ(InternNumber(5, qpa->Set_Numer[0], 64), 1);
    EXPECT_EQ(InternNumber(5, qpa->Set_Numer[0], 64), 1);
    EXPECT_EQ(InternNumber(0, qpa->Set_Numer[0], 64), 0);
}

TEST(LogicReader, FullTextAndNumberTables) {
    QPA img;
    QString text;
    for (int i = 0; i <= 64; ++i)
        text += QStringLiteral("\tBUTTON*8-1(I)TXT00C`t%1`\r\n").arg(i);
    EXPECT_EQ(img.read(text), kErrNoTextSlot);
    QPA num;
    text.clear();
    for (int i = 1; i <= 65; ++i)
        text += QStringLiteral("\tMONO*2-1(C)VAR002C`%1`\r\n").arg(i);
    EXPECT_EQ(num.read(text), kErrNoNumberSlot);
}

// A populated image written with OnlyConfigured reads back in explicit placement into the same
// cells; circuits and constants are renumbered in order of first mention, after which a further
// round trip gives the same text again.
TEST(LogicReader, WrittenSectionReadsBackToTheSameText) {
    auto src = std::make_unique<TNodarixQPBConfig>();
    ClearRecord(*src);
    int label = 1;
    for (int c = 0; c < 64; ++c) {
        const MacroKind* kind = kindForCode(Numbering::QPB, 1 + c % 104);
        if (!kind)
            continue;
        src->CellType[c] = quint8(kind->code(Numbering::QPB));
        TMacroCell& cell = src->Set_Macro[c];
        // Wire every pin: analog pins to 31 analog labels at most, digital pins with options.
        for (int r = 0; r < kind->instances; ++r) {
            int in = r * kind->pinStride, out = in;
            for (int i = 0; i < kind->pinCount(PinGroup::AnalogIn); ++i)
                cell.InCircuits[in++] = quint8(label++ % 31 + 1);
            for (int i = 0; i < kind->pinCount(PinGroup::DigitalIn); ++i, ++in) {
                cell.InCircuits[in] = quint8(label++ % 253 + 1);
                cell.InOptions[in] = quint8(in & 1);
            }
            for (int i = 0; i < kind->pinCount(PinGroup::AnalogOut); ++i)
                cell.OutCircuits[out++] = quint8(label++ % 31 + 1);
            for (int i = 0; i < kind->pinCount(PinGroup::DigitalOut); ++i, ++out)
                cell.OutCircuits[out] = quint8(label++ % 253 + 1);
        }
        for (const MacroParam& prm : kind->params)
            for (int r = 0; r < kind->instances; ++r)
                cell.Params[8 * prm.bank + r * kind->paramStride + prm.index] = quint8(1 + (c + r) % 100);
    }
    for (int i = 0; i < 128; ++i) {
        std::snprintf(reinterpret_cast<char*>(src->Set_Text[i]), 256, "text %d `\\\xE9", i);
        le::PutS32(src->Set_Numer[i], (i + 1) * 1001);
    }
    const QString first = WriteLogicSection(*src, QStringLiteral("V4.1.0"), QLatin1Char('C'), true);
    QPB img;
    ASSERT_EQ(img.read(first), 0) << s(LastConfigLine);
    EXPECT_EQ(img.autoPlace, 0);
    const QString second = WriteLogicSection(*img.cfg, QStringLiteral("V4.1.0"), QLatin1Char('C'), true);
    EXPECT_EQ(first.size(), second.size());
    QPB again;
    ASSERT_EQ(again.read(second), 0) << s(LastConfigLine);
    const QString third = WriteLogicSection(*again.cfg, QStringLiteral("V4.1.0"), QLatin1Char('C'), true);
    EXPECT_TRUE(second == third);
    for (int c = 0; c < 64; ++c)
        EXPECT_EQ(std::memcmp(again.cell(c).InOptions, src->Set_Macro[c].InOptions, 8), 0);
    EXPECT_EQ(std::memcmp(img.cfg->CellType, src->CellType, 64), 0);
}

} // namespace
