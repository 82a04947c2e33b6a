#include "config/MacroCatalogue.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

namespace {

struct DerivedCase {
    const char* name;
    int instances;
    int pinStride;
    int paramStride;
    const char* analogIn;   // pin names joined by ","; "-" when the group is absent
    const char* digitalIn;
    const char* analogOut;
    const char* digitalOut;
    Placement placement;
};

std::ostream& operator<<(std::ostream& os, const DerivedCase& c)
{
    return os << c.name;
}

QString joined(const MacroKind& k, PinGroup g)
{
    if (!k.hasGroup[int(g)])
        return QStringLiteral("-");
    QStringList names;
    for (QLatin1String n : k.pins[int(g)])
        names << QString(n);
    return names.join(QLatin1Char(','));
}

class CatalogueDerived : public testing::TestWithParam<DerivedCase> {};

TEST_P(CatalogueDerived, InstancesStridesAndGroups)
{
    const DerivedCase& c = GetParam();
    const MacroKind* k = kindByName(QString::fromLatin1(c.name));
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->instances, c.instances);
    EXPECT_EQ(k->pinStride, c.pinStride);
    EXPECT_EQ(k->paramStride, c.paramStride);
    EXPECT_EQ(joined(*k, PinGroup::AnalogIn).toStdString(), c.analogIn);
    EXPECT_EQ(joined(*k, PinGroup::DigitalIn).toStdString(), c.digitalIn);
    EXPECT_EQ(joined(*k, PinGroup::AnalogOut).toStdString(), c.analogOut);
    EXPECT_EQ(joined(*k, PinGroup::DigitalOut).toStdString(), c.digitalOut);
    EXPECT_EQ(k->placement, c.placement);
}

constexpr auto E = Placement::Exclusive;
constexpr auto P = Placement::Pooled;

INSTANTIATE_TEST_SUITE_P(
    Rows, CatalogueDerived,
    testing::Values(
        // RELAY is the one kind whose pins are not spread by 8 div N.
        DerivedCase{"RELAY", 4, 1, 1, "-", "I", "-", "-", E},
        DerivedCase{"AINP", 5, 1, 1, "-", "-", "O", "-", E},
        DerivedCase{"PORTN", 8, 1, 1, "-", "I", "-", "O", E},
        DerivedCase{"OR2", 4, 2, 2, "-", "I1,I2", "-", "O,O", P},
        // Parameter strides that differ from the pin stride.
        DerivedCase{"MONO", 2, 4, 1, "-", "C,R,M", "-", "Q,Q,Q,Q", P},
        DerivedCase{"TORMONO", 2, 4, 2, "-", "T1,T2,I,R", "-", "Q,Q,O1,O2", P},
        DerivedCase{"ACOMPARATOR", 4, 2, 1, "+,-", "-", "-", "O,O", P},
        DerivedCase{"AMPLIFIER", 4, 2, 1, "+,-", "-", "O,O", "-", P},
        DerivedCase{"LIGHT_SCENES", 2, 4, 1, "-", "I1,I2,N,R", "-", "Q1,Q2,Q3,R", P},
        DerivedCase{"BLINDS", 2, 4, 2, "-", "U,D,S,T", "-", "U,D,E", P},
        DerivedCase{"ANALOG_W_COMP", 2, 4, 1, "+,-+,-", "-", "-", "H,M,L", P},
        DerivedCase{"DAY", 4, 2, 4, "-", "-", "-", "O,O", P},
        DerivedCase{"MONTH", 8, 1, 2, "-", "-", "-", "O", P},
        DerivedCase{"ANAL_MUX", 1, 8, 8, "A,B,C,D", "A0,A1", "O,O,O,O,O,O,O,O", "-", P},
        DerivedCase{"GRADIENT_A", 2, 4, 4, "I", "-", "G", "F1,F2,F3", P},
        DerivedCase{"WEATHER", 1, 8, 8, "-", "-", "TEMP,A1,A2", "NULL,F1,F2,F3,F4", E},
        DerivedCase{"A/C", 8, 1, 1, "I", "-", "-", "-", P},
        DerivedCase{"OLD_AINP1", 8, 1, 1, "-", "-", "O", "-", E}));

struct CodeCase {
    Numbering numbering;
    int code;
    const char* name; // nullptr: no row
};

class CatalogueCodes : public testing::TestWithParam<CodeCase> {};

TEST_P(CatalogueCodes, LookUpByCode)
{
    const CodeCase& c = GetParam();
    const MacroKind* k = kindForCode(c.numbering, c.code);
    if (!c.name) {
        EXPECT_EQ(k, nullptr);
        return;
    }
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(QString(k->name).toStdString(), c.name);
    EXPECT_EQ(k->code(c.numbering), c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Numberings, CatalogueCodes,
    testing::Values(CodeCase{Numbering::OldQPA, 1, "OLD_PORT0"}, CodeCase{Numbering::NewQPA, 1, "RELAY"},
                    CodeCase{Numbering::QPB, 1, "RELAY"}, CodeCase{Numbering::OldQPA, 58, "VAR"},
                    CodeCase{Numbering::OldQPA, 59, nullptr}, CodeCase{Numbering::NewQPA, 63, "TERMINAL_D_1"},
                    CodeCase{Numbering::QPB, 63, "XETV16_DR_L1"}, CodeCase{Numbering::NewQPA, 82, "TERMINAL_A_8"},
                    CodeCase{Numbering::NewQPA, 83, nullptr}, CodeCase{Numbering::QPB, 104, "CONVERTER_CA"},
                    CodeCase{Numbering::QPB, 105, nullptr}, CodeCase{Numbering::QPB, 0, nullptr},
                    CodeCase{Numbering::QPB, 255, nullptr}));

TEST(Catalogue, HoldsEveryRowInOrder)
{
    const auto rows = macroCatalogue();
    ASSERT_EQ(rows.size(), 114u);
    EXPECT_EQ(QString(rows.front().templ).toStdString(), "\tOLD_PORT0*8-?(I)[O]");
    EXPECT_EQ(QString(rows.back().templ), QStringLiteral("\tCONVERTER_CA*8-?(I)<O>"));
    EXPECT_EQ(QString(rows[8].matchPrefix), QStringLiteral("\tRELAY*4-"));
    int qpbOnly = 0, old = 0;
    for (const MacroKind& k : rows) {
        qpbOnly += k.qpbOnly;
        old += k.oldKind;
    }
    // XETV16_DR_ x8, XETV16_AR_ x4, GRADIENT_A, FORMULA, ASTROCLK, WEATHER, ROM_MEMORY,
    // STEP_MOT_1..4, CONVERTER_CA; and OLD_PORT0..7, OLD_AINP0, OLD_AINP1.
    EXPECT_EQ(qpbOnly, 22);
    EXPECT_EQ(old, 10);
}

TEST(Catalogue, ParameterListsKeepWritingOrderAndGaps)
{
    const MacroKind& comp = kindNamed(QLatin1String("COUNTER_COMP"));
    ASSERT_EQ(comp.params.size(), 15u);
    EXPECT_EQ(comp.params[1].index, 2); // no parameter at bank 0 index 1
    EXPECT_EQ(comp.params[9].type, ParamType::Byte);
    EXPECT_EQ(comp.params[9].bank, 1);
    EXPECT_EQ(comp.params[9].index, 2);

    const MacroKind& weather = kindNamed(QLatin1String("WEATHER"));
    QStringList items;
    for (const MacroParam& p : weather.params)
        items << QStringLiteral("%1%2%3/%4").arg(int(p.type)).arg(p.bank).arg(p.index).arg(p.format);
    EXPECT_EQ(items.join(QLatin1Char(' ')).toStdString(),
              "000/0 001/0 002/0 103/1 104/3 105/3 106/3 107/3 311/0 312/0 314/0 315/0 316/0 317/0");

    const MacroKind& clock = kindNamed(QLatin1String("CLOCK"));
    ASSERT_EQ(clock.params.size(), 2u);
    EXPECT_EQ(clock.params[1].bank, 1);
    EXPECT_EQ(clock.params[1].format, 0);
    EXPECT_TRUE(kindNamed(QLatin1String("TERMINAL_D_1")).params.empty());
}

} // namespace
