#include "config/MacroCatalogue.h"

#include <QHash>
#include <QString>

#include <cstdlib>
#include <cstring>

namespace {

enum : quint8 { E = 0, P = 1 };

// One row as written in the table. Parameter lists use a compact notation, one item per
// word: type letter (T text, V number, B bits, Y byte), bank digit, index or index range
// ("2-7"), and for V the format digit after "/".
struct Row {
    const char* templ;
    quint8 oldQpa, newQpa, qpb;
    quint8 place;
    const char* params;
};

constexpr const char* kPortParams = "B00 T10";
constexpr const char* kTwoTexts = "T00 T10";

constexpr Row kRows[] = {
    {"\tOLD_PORT0*8-?(I)[O]", 1, 0, 0, E, kPortParams},
    {"\tOLD_PORT1*8-?(I)[O]", 2, 0, 0, E, kPortParams},
    {"\tOLD_PORT2*8-?(I)[O]", 3, 0, 0, E, kPortParams},
    {"\tOLD_PORT3*8-?(I)[O]", 4, 0, 0, E, kPortParams},
    {"\tOLD_PORT4*8-?(I)[O]", 5, 0, 0, E, kPortParams},
    {"\tOLD_PORT5*8-?(I)[O]", 6, 0, 0, E, kPortParams},
    {"\tOLD_PORT6*8-?(I)[O]", 7, 0, 0, E, kPortParams},
    {"\tOLD_PORT7*8-?(I)[O]", 8, 0, 0, E, kPortParams},
    {"\tRELAY*4-?(I)", 0, 1, 1, E, "T10"},
    {"\tPORTN*8-?(I)[O]", 0, 2, 2, E, kPortParams},
    {"\tPORTE*8-?(I)[O]", 0, 3, 3, E, kPortParams},
    {"\tAINP*5-?<O>", 0, 4, 4, E, "T10"},
    {"\tTEXTRX*8-?(I)[O]", 9, 5, 5, P, kTwoTexts},
    {"\tTEXTTX*8-?(I)", 10, 6, 6, P, kTwoTexts},
    {"\tBUF*8-?(I)[O]", 11, 7, 7, P, ""},
    {"\tOR2*4-?(I1,I2)[O,O]", 12, 8, 8, P, ""},
    {"\tOR4*2-?(I1,I2,I3,I4)[O,O,O,O]", 13, 9, 9, P, ""},
    {"\tOR8*1-?(I1,I2,I3,I4,I5,I6,I7,I8)[O,O,O,O,O,O,O,O]", 14, 10, 10, P, ""},
    {"\tEXOR2*4-?(I1,I2)[O,O]", 15, 11, 11, P, ""},
    {"\tAND2*4-?(I1,I2)[O,O]", 16, 12, 12, P, ""},
    {"\tAND4*2-?(I1,I2,I3,I4)[O,O,O,O]", 17, 13, 13, P, ""},
    {"\tAND8*1-?(I1,I2,I3,I4,I5,I6,I7,I8)[O,O,O,O,O,O,O,O]", 18, 14, 14, P, ""},
    {"\tMONO*2-?(C,R,M)[Q,Q,Q,Q]", 19, 15, 15, P, "V00/2"},
    {"\tT*8-?(T)[Q]", 20, 16, 16, P, ""},
    {"\tTR*4-?(T,R)[Q,Q]", 21, 17, 17, P, ""},
    {"\tTRS*2-?(S,T,R)[Q,Q,Q,Q]", 22, 18, 18, P, ""},
    {"\tD*4-?(D,C)[Q,Q]", 23, 19, 19, P, ""},
    {"\tDRS*2-?(S,D,C,R)[Q,Q,Q,Q]", 24, 20, 20, P, ""},
    {"\tJKR*2-?(J,C,K,R)[Q,Q,Q,Q]", 25, 21, 21, P, ""},
    {"\tTORMONO*2-?(T1,T2,I,R)[Q,Q,O1,O2]", 26, 22, 22, P, "V00/2 V01/2"},
    {"\tLATCH*1-?(D1,D2,D3,D4,D5,D6,C,R)[Q1,Q2,Q3,Q4,Q5,Q6]", 27, 23, 23, P, ""},
    {"\tCOUNTER_COMP*1-?(UI1,UI2,DI1,DI2,R,L)[QMIN,QMAX,QR1,QR2,QR3,QR4,QR5,QR6]", 28, 24, 24, P,
     "V00/1 V02-7/1 V10/1 V11/1 Y12-7"},
    {"\tCOUNTER_PROG*1-?(UI1,UI2,DI1,DI2,R,L,MA,MB)[Q1,Q2,Q3,Q4,Q5,Q6,Q7,Q8]", 29, 25, 25, P, "V00/1"},
    {"\tCOUNTER_BIN*1-?(UI1,UI2,DI1,DI2,R,L)[Q1,Q2,Q3,Q4,Q5,Q6,Q7,Q8]", 30, 26, 26, P, "V00/1"},
    {"\tCOUNTER_BCD*1-?(UI1,UI2,DI1,DI2,R,L)[QA1,QB1,QC1,QD1,QA2,QB2,QB3,QB4]", 31, 27, 27, P, "V00/1"},
    {"\tCOUNTER_DEC*1-?(UI1,UI2,DI1,DI2,R,L)[Q1,Q2,Q3,Q4,Q5,Q6,Q7,Q8]", 32, 28, 28, P, "V00/1"},
    {"\tDECODER*1-?(A,B,C,I1,I2,I3,I4,IN5)[Q1,Q2,Q3,Q4,Q5,Q6,Q7,Q8]", 33, 29, 29, P, ""},
    {"\tMULTIPLEXER*1-?(A,B,C,D,I,A0,A1)[O,O,O,O,O,O,O,O]", 34, 30, 30, P, ""},
    {"\tSHIFT_REG*1-?(SL1,SL2,SR1,SR2,D,R,I)[Q1,Q2,Q3,Q4,Q5,Q6,Q7,Q8]", 35, 31, 31, P, "V00/1"},
    {"\tCLOCK*8-?[O]", 36, 32, 32, P, "V00/0 V10/0"},
    {"\tWEEK*8-?[O]", 37, 33, 33, P, "B00"},
    {"\tDAY*4-?[O,O]", 38, 34, 34, P, "B00-3"},
    {"\tMONTH*8-?[O]", 39, 35, 35, P, "B00-1"},
    {"\tBUTTON*8-?(I)[O]", 40, 36, 36, P, "T00"},
    {"\tINDICATOR*8-?(I)", 41, 37, 37, P, "T00"},
    {"\tOLD_AINP0*8-?<O>", 42, 0, 0, E, "V00/3 V10/3"},
    {"\tOLD_AINP1*8-?<O>", 43, 0, 0, E, "V00/3 V10/3"},
    {"\tABUFOR*8-?{I}<O>", 44, 38, 38, P, "V00/3 V10/3"},
    {"\tACOMPARATOR*4-?{+,-}[O,O]", 45, 39, 39, P, "V00/3"},
    {"\tAMPLIFIER*4-?{+,-}<O,O>", 46, 40, 40, P, "V00/3 V10/3"},
    {"\tCORR_AMPLIFIER*1-?{+,-}<O,O,O,O,O,O,O,O>", 47, 41, 41, P, "V00-7/3 V10-7/3"},
    {"\tANALOG_SIGN*1-?{I}[L1,L2,L3,L4,L5,L6,L7,L8]", 48, 42, 42, P, "V00-7/3 T10-7"},
    {"\tA/C*8-?{I}", 49, 43, 43, P, "V00/3 V10/1"},
    {"\tANAL_MUX*1-?{A,B,C,D}(A0,A1)<O,O,O,O,O,O,O,O>", 50, 44, 44, P, ""},
    {"\tANAL_DMUX*1-?{I}(A0,A1,A2)<A,B,C,D,E,F,G,H>", 51, 45, 45, P, ""},
    {"\tLIGHT_SCENES*2-?(I1,I2,N,R)[Q1,Q2,Q3,R]", 52, 46, 46, P, "Y00 V10/2"},
    {"\tBLINDS*2-?(U,D,S,T)[U,D,E]", 53, 47, 47, P, "V00/2 V01/2"},
    {"\tT_MEM*8-?(T)[Q]", 54, 48, 48, P, ""},
    {"\tERROR*8-?(R)[E]", 55, 49, 49, P, "Y00"},
    {"\tANALOG_W_COMP*2-?{+,-+,-}[H,M,L]", 56, 50, 50, P, "V00/3"},
    {"\tD_DISPLAY*1-?(I1,I2,I3,I4,I5,I6,I7,I8)", 57, 51, 51, P, "T00-7"},
    {"\tVAR*1-?(I0,I1,I2,I3,I4,I5,I6,I7)[O1,O2,O3,O4,O5,O6,O7,O8]", 58, 52, 52, P, "V00/1 V01/1"},
    {"\tXET8_1*8-?(I)[O]", 0, 53, 53, E, kPortParams},
    {"\tXET8_2*8-?(I)[O]", 0, 54, 54, E, kPortParams},
    {"\tXETV16_DL_L1*8-?(I)[O]", 0, 55, 55, E, kPortParams},
    {"\tXETV16_DL_H1*8-?(I)[O]", 0, 56, 56, E, kPortParams},
    {"\tXETV16_DL_L2*8-?(I)[O]", 0, 57, 57, E, kPortParams},
    {"\tXETV16_DL_H2*8-?(I)[O]", 0, 58, 58, E, kPortParams},
    {"\tXETV16_DL_L3*8-?(I)[O]", 0, 59, 59, E, kPortParams},
    {"\tXETV16_DL_H3*8-?(I)[O]", 0, 60, 60, E, kPortParams},
    {"\tXETV16_DL_L4*8-?(I)[O]", 0, 61, 61, E, kPortParams},
    {"\tXETV16_DL_H4*8-?(I)[O]", 0, 62, 62, E, kPortParams},
    {"\tXETV16_DR_L1*8-?(I)[O]", 0, 0, 63, E, kPortParams},
    {"\tXETV16_DR_H1*8-?(I)[O]", 0, 0, 64, E, kPortParams},
    {"\tXETV16_DR_L2*8-?(I)[O]", 0, 0, 65, E, kPortParams},
    {"\tXETV16_DR_H2*8-?(I)[O]", 0, 0, 66, E, kPortParams},
    {"\tXETV16_DR_L3*8-?(I)[O]", 0, 0, 67, E, kPortParams},
    {"\tXETV16_DR_H3*8-?(I)[O]", 0, 0, 68, E, kPortParams},
    {"\tXETV16_DR_L4*8-?(I)[O]", 0, 0, 69, E, kPortParams},
    {"\tXETV16_DR_H4*8-?(I)[O]", 0, 0, 70, E, kPortParams},
    {"\tTERMINAL_D_1*8-?(I)[O]", 0, 63, 71, E, ""},
    {"\tTERMINAL_D_2*8-?(I)[O]", 0, 64, 72, E, ""},
    {"\tTERMINAL_D_3*8-?(I)[O]", 0, 65, 73, E, ""},
    {"\tTERMINAL_D_4*8-?(I)[O]", 0, 66, 74, E, ""},
    {"\tTERMINAL_D_5*8-?(I)[O]", 0, 67, 75, E, ""},
    {"\tTERMINAL_D_6*8-?(I)[O]", 0, 68, 76, E, ""},
    {"\tTERMINAL_D_7*8-?(I)[O]", 0, 69, 77, E, ""},
    {"\tTERMINAL_D_8*8-?(I)[O]", 0, 70, 78, E, ""},
    {"\tXETV16_AL_1*8-?{I}<O>", 0, 71, 79, E, kTwoTexts},
    {"\tXETV16_AL_2*8-?{I}<O>", 0, 72, 80, E, kTwoTexts},
    {"\tXETV16_AL_3*8-?{I}<O>", 0, 73, 81, E, kTwoTexts},
    {"\tXETV16_AL_4*8-?{I}<O>", 0, 74, 82, E, kTwoTexts},
    {"\tXETV16_AR_1*8-?{I}<O>", 0, 0, 83, E, kTwoTexts},
    {"\tXETV16_AR_2*8-?{I}<O>", 0, 0, 84, E, kTwoTexts},
    {"\tXETV16_AR_3*8-?{I}<O>", 0, 0, 85, E, kTwoTexts},
    {"\tXETV16_AR_4*8-?{I}<O>", 0, 0, 86, E, kTwoTexts},
    {"\tTERMINAL_A_1*8-?{I}<O>", 0, 75, 87, E, kTwoTexts},
    {"\tTERMINAL_A_2*8-?{I}<O>", 0, 76, 88, E, kTwoTexts},
    {"\tTERMINAL_A_3*8-?{I}<O>", 0, 77, 89, E, kTwoTexts},
    {"\tTERMINAL_A_4*8-?{I}<O>", 0, 78, 90, E, kTwoTexts},
    {"\tTERMINAL_A_5*8-?{I}<O>", 0, 79, 91, E, kTwoTexts},
    {"\tTERMINAL_A_6*8-?{I}<O>", 0, 80, 92, E, kTwoTexts},
    {"\tTERMINAL_A_7*8-?{I}<O>", 0, 81, 93, E, kTwoTexts},
    {"\tTERMINAL_A_8*8-?{I}<O>", 0, 82, 94, E, kTwoTexts},
    {"\tGRADIENT_A*2-?{I}<G>[F1,F2,F3]", 0, 0, 95, P, "V00/1 V01-3/3 Y11-3"},
    {"\tFORMULA*8-?(I)[0]", 0, 0, 96, P, "T00"},
    {"\tASTROCLK*2-?(IA1,IA2,IU1,IU2)[NULL,F1,F2]", 0, 0, 97, P, "V00-3/1 V10-1/3 Y12-3"},
    {"\tWEATHER*1-?<TEMP,A1,A2>[NULL,F1,F2,F3,F4]", 0, 0, 98, E, "T00-2 V03/1 V04-7/3 Y11-2 Y14-7"},
    {"\tROM_MEMORY*1-?(A0,A1,A2,A3,A4,A5,A6,A7)[O0,O1,O2,O3,O4,O5,O6,O7]", 0, 0, 99, P, "T00-1"},
    {"\tSTEP_MOT_1*1-?(R,L,E,S1,S2,S3,S4,S5)", 0, 0, 100, E, "Y00 V02-6/1 V10/1 V12-6/1"},
    {"\tSTEP_MOT_2*1-?(R,L,E,S1,S2,S3,S4,S5)", 0, 0, 101, E, "Y00 V02-6/1 V10/1 V12-6/1"},
    {"\tSTEP_MOT_3*1-?(R,L,E,S1,S2,S3,S4,S5)", 0, 0, 102, E, "Y00 V02-6/1 V10/1 V12-6/1"},
    {"\tSTEP_MOT_4*1-?(R,L,E,S1,S2,S3,S4,S5)", 0, 0, 103, E, "Y00 V02-6/1 V10/1 V12-6/1"},
    {"\tCONVERTER_CA*8-?(I)<O>", 0, 0, 104, P, "T00"},
};
static_assert(std::size(kRows) == 114);

// Kinds whose parameters are spaced differently from their pins.
struct StrideException {
    const char* name;
    int paramStride;
};
constexpr StrideException kParamStrideExceptions[] = {
    {"MONO", 1},   {"TORMONO", 2},       {"ACOMPARATOR", 1}, {"AMPLIFIER", 1}, {"LIGHT_SCENES", 1},
    {"BLINDS", 2}, {"ANALOG_W_COMP", 1}, {"DAY", 4},         {"MONTH", 2},
};

// The only kind whose pins are not spread over the cell by 8 div N.
constexpr const char* kRelayTemplate = "\tRELAY*4-?(I)";

[[noreturn]] void badTable(const char* templ)
{
    qFatal("macro catalogue: malformed row %s", templ + 1);
    std::abort();
}

std::vector<MacroParam> parseParams(const char* notation, const char* templ)
{
    std::vector<MacroParam> out;
    const char* p = notation;
    while (*p) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        ParamType type;
        switch (*p++) {
        case 'T': type = ParamType::Txt; break;
        case 'V': type = ParamType::Var; break;
        case 'B': type = ParamType::Bits; break;
        case 'Y': type = ParamType::Byte; break;
        default: badTable(templ);
        }
        if (*p < '0' || *p > '1')
            badTable(templ);
        const quint8 bank = quint8(*p++ - '0');
        if (*p < '0' || *p > '7')
            badTable(templ);
        const int first = *p++ - '0';
        int last = first;
        if (*p == '-') {
            ++p;
            if (*p < '0' || *p > '7')
                badTable(templ);
            last = *p++ - '0';
        }
        quint8 format = 0;
        if (type == ParamType::Var) {
            if (*p++ != '/' || *p < '0' || *p > '3')
                badTable(templ);
            format = quint8(*p++ - '0');
        }
        for (int i = first; i <= last; ++i)
            out.push_back({type, bank, quint8(i), format});
    }
    return out;
}

PinGroup groupOf(char open)
{
    switch (open) {
    case '{': return PinGroup::AnalogIn;
    case '(': return PinGroup::DigitalIn;
    case '<': return PinGroup::AnalogOut;
    default: return PinGroup::DigitalOut;
    }
}

char closerOf(char open)
{
    switch (open) {
    case '{': return '}';
    case '(': return ')';
    case '<': return '>';
    case '[': return ']';
    default: return 0;
    }
}

MacroKind derive(const Row& row, int index)
{
    MacroKind k;
    k.templ = QLatin1String(row.templ);
    k.codes = {row.oldQpa, row.newQpa, row.qpb};
    k.placement = row.place == P ? Placement::Pooled : Placement::Exclusive;
    k.row = index;
    k.qpbOnly = row.oldQpa == 0 && row.newQpa == 0;
    k.oldKind = row.oldQpa != 0 && row.newQpa == 0 && row.qpb == 0;

    const char* t = row.templ;
    const char* star = std::strchr(t, '*');
    const char* question = std::strchr(t, '?');
    if (t[0] != '\t' || !star || !question || question < star)
        badTable(row.templ);
    k.name = QLatin1String(t + 1, star - t - 1);
    k.matchPrefix = QLatin1String(t, question - t);
    k.strippedHead = QLatin1String(t + 1, question - t - 1);
    k.instances = (star[1] >= '1' && star[1] <= '8') ? star[1] - '0' : 1;
    k.pinStride = std::strcmp(row.templ, kRelayTemplate) == 0 ? 1 : kCellSlots / k.instances;
    k.paramStride = k.pinStride;
    for (const auto& e : kParamStrideExceptions)
        if (k.name == QLatin1String(e.name))
            k.paramStride = e.paramStride;

    for (const char* p = question + 1; *p;) {
        const char closer = closerOf(*p);
        if (!closer)
            badTable(row.templ);
        const PinGroup g = groupOf(*p);
        const char* end = std::strchr(p, closer);
        if (!end || k.hasGroup[int(g)])
            badTable(row.templ);
        k.hasGroup[int(g)] = true;
        for (const char* name = p + 1; name < end;) {
            const char* comma = name;
            while (comma < end && *comma != ',')
                ++comma;
            k.pins[int(g)].push_back(QLatin1String(name, comma - name));
            name = comma + 1;
        }
        p = end + 1;
    }
    k.params = parseParams(row.params, row.templ);

    // Every instance must stay inside its cell; a table edit that breaks this is caught at start.
    const int lastSlot = (k.instances - 1) * k.pinStride;
    if (lastSlot + k.pinCount(PinGroup::AnalogIn) + k.pinCount(PinGroup::DigitalIn) > kCellSlots
        || lastSlot + k.pinCount(PinGroup::AnalogOut) + k.pinCount(PinGroup::DigitalOut) > kCellSlots)
        badTable(row.templ);
    for (const MacroParam& prm : k.params)
        if (8 * prm.bank + (k.instances - 1) * k.paramStride + prm.index >= kCellParamBytes)
            badTable(row.templ);
    return k;
}

struct Catalogue {
    std::vector<MacroKind> kinds;
    std::array<std::array<const MacroKind*, 256>, 3> byCode{};
    QHash<QString, const MacroKind*> byName;

    Catalogue()
    {
        kinds.reserve(std::size(kRows));
        for (const Row& row : kRows)
            kinds.push_back(derive(row, int(kinds.size())));
        for (const MacroKind& k : kinds) {
            for (int n = 0; n < 3; ++n)
                if (k.codes[n])
                    byCode[n][k.codes[n]] = &k;
            byName.insert(QString(k.name), &k);
        }
    }
};

const Catalogue& catalogue()
{
    static const Catalogue c;
    return c;
}

} // namespace

std::span<const MacroKind> macroCatalogue()
{
    return catalogue().kinds;
}

const MacroKind* kindForCode(Numbering numbering, int code)
{
    if (code <= 0 || code > 255)
        return nullptr;
    return catalogue().byCode[int(numbering)][code];
}

const MacroKind* kindByName(QStringView name)
{
    const auto& byName = catalogue().byName;
    const auto it = byName.constFind(name.toString());
    return it == byName.cend() ? nullptr : *it;
}

const MacroKind& kindNamed(QLatin1String name)
{
    const MacroKind* k = kindByName(QString(name));
    if (!k)
        qFatal("macro catalogue: no kind %s", name.data());
    return *k;
}
