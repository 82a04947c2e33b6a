#include "config/LogicSection.h"
#include "config/Records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

std::string s(const QString& q)
{
    return q.toStdString();
}

template <class Config>
std::unique_ptr<Config> cleared()
{
    auto c = std::make_unique<Config>();
    ClearRecord(*c);
    return c;
}

void setText(TNodarixQPAConfig& c, int entry, const char* text, int length = -1)
{
    std::memcpy(c.Set_Text[entry], text, length < 0 ? std::strlen(text) + 1 : std::size_t(length));
}

// The first line that cell 0 of a new-numbering QPA image writes.
std::string firstLine(const TNodarixQPAConfig& c, bool onlyConfigured = false)
{
    const QString cell = WriteMacroCell(logicImage(c), 0, Numbering::NewQPA, onlyConfigured);
    return s(cell.left(cell.indexOf(QLatin1String("\r\n"))));
}

TEST(LogicWriter, PortLineWithPinsOptionsAndParameters)
{
    auto c = cleared<TNodarixQPAConfig>();
    c->CellType[1] = 2; // PORTN
    TMacroCell& cell = c->Set_Macro[1];
    cell.InCircuits[2] = 0x12;
    cell.InOptions[2] = 0x01;
    cell.OutCircuits[2] = 0x13;
    cell.Params[2] = 0x05;
    cell.Params[8 + 2] = 1;
    setText(*c, 0, "Lamp");
    EXPECT_EQ(s(WriteMacroCell(logicImage(*c), 1, Numbering::NewQPA, true)),
              "\tM01:PORTN*8-3(I \"d12\" '~')[O \"d13\"]BITS00`20`TXT10C`Lamp`\r\n");
}

struct OptionsCase {
    quint8 options;
    quint8 times;
    const char* text; // "" when no options item is written
};

class WriterOptions : public testing::TestWithParam<OptionsCase> {};

TEST_P(WriterOptions, OptionsText)
{
    auto c = cleared<TNodarixQPAConfig>();
    SetParamTime(c->Param_Cell, 1, 250);
    SetParamTime(c->Param_Cell, 2, 5);
    c->CellType[0] = 7; // BUF
    c->Set_Macro[0].InOptions[0] = GetParam().options;
    c->Set_Macro[0].InTimes[0] = GetParam().times;
    const std::string item = *GetParam().text ? std::string(" '") + GetParam().text + "'" : std::string();
    EXPECT_EQ(firstLine(*c), "\tM00:BUF*8-1(I" + item + ")[O]");
}

INSTANTIATE_TEST_SUITE_P(Examples, WriterOptions,
                         testing::Values(OptionsCase{0x13, 0x10, "#^2.5;0~"}, OptionsCase{0x01, 0, "~"},
                                         OptionsCase{0xE0, 0x12, "f"}, OptionsCase{0x0E, 0, "|"},
                                         OptionsCase{0x06, 0, "/"}, OptionsCase{0x0A, 0, "\\"},
                                         OptionsCase{0xC0, 0x21, "^^^^^^^^^^^^0.05;2.5"},
                                         OptionsCase{0xD0, 0x00, "m0;0"}, OptionsCase{0xF1, 0x02, "g0;0.05~"},
                                         OptionsCase{0x00, 0x11, ""}));

struct ParamCase {
    const char* name;
    quint8 code;  // new QPA numbering
    int offset;   // parameter byte of instance 1
    quint8 value;
    const char* params; // the parameter text of instance 1
};

class WriterParams : public testing::TestWithParam<ParamCase> {};

TEST_P(WriterParams, OneParameterOfEachForm)
{
    const ParamCase& p = GetParam();
    auto c = cleared<TNodarixQPAConfig>();
    setText(*c, 0, "Hall");
    le::PutS32(c->Set_Numer[0], 150);
    le::PutS32(c->Set_Numer[1], 27000);
    le::PutS32(c->Set_Numer[2], -1235);
    le::PutS32(c->Set_Numer[3], 360000); // 100 hours: written so that a reader refuses it
    c->CellType[0] = p.code;
    c->Set_Macro[0].Params[p.offset] = p.value;
    const std::string line = firstLine(*c);
    const std::string expected = p.params;
    ASSERT_GE(line.size(), expected.size()) << line;
    EXPECT_EQ(line.substr(line.size() - expected.size()), expected) << line;
    if (expected.empty()) {
        EXPECT_EQ(line.find('`'), std::string::npos) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, WriterParams,
    testing::Values(ParamCase{"text constant", 1, 8, 1, "TXT10C`Hall`"},       // RELAY
                    ParamCase{"text variable", 5, 0, 134, "TXT00V`05`"},      // TEXTRX
                    ParamCase{"text variable 126", 5, 0, 255, "TXT00V`7E`"},
                    ParamCase{"no text", 5, 0, 0, ""},
                    ParamCase{"text beyond QPA table", 1, 8, 65, ""},
                    ParamCase{"bits", 33, 0, 0xA9, "BITS00`7530`"},           // WEEK
                    ParamCase{"number hundredths", 15, 0, 1, "VAR002C`1.5`"},  // MONO
                    ParamCase{"negative hundredths", 15, 0, 3, "VAR002C`-12.35`"},
                    ParamCase{"time of day", 32, 8, 2, "VAR100C`07:30:00`"},  // CLOCK
                    ParamCase{"100 hours", 32, 8, 4, "VAR100C`100:00:00`"},
                    ParamCase{"number variable", 32, 0, 129, "VAR000V`00`"},
                    ParamCase{"byte zero", 46, 0, 0, "[Q1,Q2,Q3,R]BYTE00`0`"}, // LIGHT_SCENES
                    ParamCase{"byte", 49, 0, 200, "BYTE00`200`"}),            // ERROR
    [](const testing::TestParamInfo<ParamCase>& i) {
        std::string n = i.param.name;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

struct NumberingCase {
    bool qpb;
    const char* version;
    char pcb;
    const char* firstLine; // "" for an empty section
};

class WriterNumbering : public testing::TestWithParam<NumberingCase> {};

TEST_P(WriterNumbering, ChosenByEditionVersionAndBoard)
{
    const NumberingCase& n = GetParam();
    QString body;
    if (n.qpb) {
        auto c = cleared<TNodarixQPBConfig>();
        c->CellType[0] = 1;
        c->Set_Macro[0].InCircuits[0] = 1;
        body = WriteLogicSection(*c, QString::fromLatin1(n.version), QLatin1Char(n.pcb), true);
    } else {
        auto c = cleared<TNodarixQPAConfig>();
        c->CellType[0] = 1;
        c->Set_Macro[0].InCircuits[0] = 1;
        c->Set_Macro[0].OutCircuits[0] = 1;
        body = WriteLogicSection(*c, QString::fromLatin1(n.version), QLatin1Char(n.pcb), true);
    }
    EXPECT_EQ(s(body.left(body.indexOf(QLatin1String("\r\n")))), n.firstLine);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WriterNumbering,
    testing::Values(NumberingCase{false, "V4.0.1", 'C', "\tM00:OLD_PORT0*8-1(I \"d01\")[O \"d01\"]"},
                    NumberingCase{false, "V4.1.0", 'C', "\tM00:RELAY*4-1(I \"d01\")"},
                    NumberingCase{false, "V4.0.9", 'D', "\tM00:OLD_PORT0*8-1(I \"d01\")[O \"d01\"]"},
                    NumberingCase{false, "V4.10", 'D', "\tM00:RELAY*4-1(I \"d01\")"},
                    NumberingCase{false, "V4.1.0", 'X', ""},
                    NumberingCase{true, "V4.1.0", 'X', "\tM00:RELAY*4-1(I \"d01\")"},
                    NumberingCase{true, "V4.10", 'C', "\tM00:RELAY*4-1(I \"d01\")"},
                    NumberingCase{true, "V4.0.9", 'C', ""},
                    NumberingCase{true, "V4.1.0", 'E', ""}));

TEST(LogicWriter, OnlyConfiguredLeavesOutEmptyCellsAndUnusedInstances)
{
    auto c = cleared<TNodarixQPAConfig>();
    c->CellType[1] = 12; // AND2
    c->Set_Macro[1].OutCircuits[2] = 0x20; // instance 2, first output
    c->CellType[2] = 49; // ERROR: its BYTE parameter is always written
    c->CellType[3] = 83; // no row in the new QPA numbering: no line at all
    const QString all = WriteLogicSection(*c, QStringLiteral("V4.1.0"), QLatin1Char('C'), false);
    const QString only = WriteLogicSection(*c, QStringLiteral("V4.1.0"), QLatin1Char('C'), true);
    EXPECT_TRUE(all.startsWith(QLatin1String("\t---\r\n\tM01:AND2*4-1(I1,I2)[O,O]\r\n")));
    EXPECT_EQ(all.count(QLatin1String("\t---\r\n")), 40 - 3);
    EXPECT_EQ(all.count(QLatin1String("AND2")), 4);
    EXPECT_EQ(all.count(QLatin1String("ERROR")), 8);
    EXPECT_FALSE(all.contains(QLatin1String("M03")));
    EXPECT_EQ(s(only.left(only.indexOf(QLatin1String("\r\n")) + 2)), "\tM01:AND2*4-2(I1,I2)[O \"d20\",O]\r\n");
    EXPECT_EQ(only.count(QLatin1String("AND2")), 1);
    EXPECT_EQ(only.count(QLatin1String("ERROR*8-")), 8);
    EXPECT_FALSE(only.contains(QLatin1String("---")));
}

TEST(LogicWriter, PinEdgeCases)
{
    auto c = cleared<TNodarixQPBConfig>();
    // ASTROCLK instance 2: digital inputs from slot 4, outputs NULL,F1,F2 from slot 4.
    c->CellType[0] = 97;
    TMacroCell& cell = c->Set_Macro[0];
    cell.InCircuits[4] = 255;
    cell.InCircuits[5] = 254;
    cell.OutCircuits[4] = 7;   // the NULL pin never shows its circuit...
    cell.OutOptions[4] = 0x01; // ...but does show its options
    cell.OutCircuits[5] = 255;
    const QString body = WriteMacroCell(logicImage(*c), 0, Numbering::QPB, false);
    const QString second = body.section(QLatin1String("\r\n"), 1, 1);
    EXPECT_EQ(s(second),
              "\tM00:ASTROCLK*2-2(IA1 \"d=1\",IA2 \"d=0\",IU1,IU2)[NULL '~',F1 \"dFF\",F2]BYTE12`0`BYTE13`0`");
}

TEST(LogicWriter, AnalogPinsAndSharedSlots)
{
    auto c = cleared<TNodarixQPBConfig>();
    c->CellType[0] = 95; // GRADIENT_A
    TMacroCell& cell = c->Set_Macro[0];
    cell.InCircuits[4] = 0x0A;
    cell.OutCircuits[4] = 0x0B;
    cell.OutCircuits[5] = 0x0C;
    const QString body = WriteMacroCell(logicImage(*c), 0, Numbering::QPB, true);
    EXPECT_EQ(s(body), "\tM00:GRADIENT_A*2-1{I}<G>[F1,F2,F3]BYTE11`0`BYTE12`0`BYTE13`0`\r\n"
                       "\tM00:GRADIENT_A*2-2{I \"a0A\"}<G \"a0B\">[F1 \"d0C\",F2,F3]BYTE11`0`BYTE12`0`BYTE13`0`\r\n");
}

TEST(LogicWriter, TextEscapesAndFullWidthEntries)
{
    auto c = cleared<TNodarixQPAConfig>();
    c->CellType[0] = 36; // BUTTON
    setText(*c, 0, "a`b\xE9\\c\r\n");
    setText(*c, 1, "0123456789abcdef0123456789ABCDEF", 32); // no NUL in the entry
    c->Set_Macro[0].Params[0] = 1;
    c->Set_Macro[0].Params[1] = 2;
    const QString body = WriteMacroCell(logicImage(*c), 0, Numbering::NewQPA, true);
    EXPECT_EQ(s(body), "\tM00:BUTTON*8-1(I)[O]TXT00C`a\\60b\\E9\\\\c\\0D\\0A`\r\n"
                       "\tM00:BUTTON*8-2(I)[O]TXT00C`0123456789abcdef0123456789ABCDEF`\r\n");
}

TEST(LogicWriter, DayInstanceTwoReadsItsOwnBitSets)
{
    auto c = cleared<TNodarixQPAConfig>();
    c->CellType[0] = 34; // DAY, parameter stride 4
    for (int i = 0; i < 4; ++i)
        c->Set_Macro[0].Params[4 + i] = quint8(1u << i);
    const QString body = WriteMacroCell(logicImage(*c), 0, Numbering::NewQPA, true);
    EXPECT_EQ(s(body), "\tM00:DAY*4-2[O,O]BITS00`0`BITS01`1`BITS02`2`BITS03`3`\r\n");
}

} // namespace
