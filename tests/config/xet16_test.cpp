// The extension module record built from the user's choices: layout, the lenient rules for
// edit box texts, the output source mapping, and the refusals.
#include "comm/Frame.h"
#include "config/Xet16.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes recordBytes(const TXet16& x) {
    Bytes b(sizeof x);
    std::memcpy(b.data(), &x, sizeof x);
    return b;
}

// The record of untouched choices: all zero but 8 data bits and 9600 baud.
Bytes defaultBytes() {
    Bytes b(166, 0);
    b[64] = 0x80;
    b[65] = 0x25;
    b[66] = 1;
    return b;
}

struct RecordCase {
    const char* name;
    std::function<void(TXet16Choices&)> choose;
    std::map<int, Bytes> changed; // offset -> bytes that differ from the default record
    bool speedDefaulted = false;
    bool romDefaulted = false;
};

void PrintTo(const RecordCase& c, std::ostream* os) {
    *os << c.name;
}

class Xet16Record : public ::testing::TestWithParam<RecordCase> {};

TEST_P(Xet16Record, BuildsTheBytesTheModuleReceives) {
    const RecordCase& c = GetParam();
    TXet16Choices choices;
    c.choose(choices);
    const TXet16Request r = BuildXet16(choices);
    ASSERT_EQ(r.Refusal, TXet16Refusal::None);

    Bytes expected = defaultBytes();
    for (const auto& [offset, bytes] : c.changed)
        std::copy(bytes.begin(), bytes.end(), expected.begin() + offset);
    EXPECT_EQ(recordBytes(r.Record), expected);
    EXPECT_EQ(r.SpeedDefaulted, c.speedDefaulted);
    EXPECT_EQ(r.RomDefaulted, c.romDefaulted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Xet16Record,
    ::testing::Values(
        RecordCase{"Defaults", [](TXet16Choices&) {}, {}},
        // ROM texts: padded with '0', pairs read left to right, a non-hexadecimal pair gives 0.
        RecordCase{"ShortRomIsPaddedWithZeros", [](TXet16Choices& c) { c.Rom1[0] = "28FF"; },
                   {{3, {0x28, 0xFF, 0, 0, 0, 0, 0, 0}}}},
        RecordCase{"NonHexPairGivesZero", [](TXet16Choices& c) { c.Rom2[1] = "28FF64G1"; },
                   {{35, {0x28, 0xFF, 0x64, 0x00, 0, 0, 0, 0}}},
                   false,
                   true},
        RecordCase{"FullRomLowerAndUpperCase", [](TXet16Choices& c) { c.Rom1[2] = "0123456789abcDEF"; },
                   {{19, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}}}},
        RecordCase{"RomOfInput3SecondBox", [](TXet16Choices& c) { c.Rom2[2] = "FFFFFFFFFFFFFFFF"; },
                   {{43, Bytes(8, 0xFF)}}},
        RecordCase{"EmptyRomIsAllZero", [](TXet16Choices& c) { c.Rom1[0] = ""; }, {}},
        RecordCase{"RomOverSixteenCharactersKeepsTheFirstSixteen",
                   [](TXet16Choices& c) { c.Rom1[1] = "1122334455667788FF"; },
                   {{11, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}}},
                   false,
                   true},
        RecordCase{"NonAsciiCharacterInRomPair", [](TXet16Choices& c) { c.Rom1[0] = QString::fromUtf8("1ł22"); },
                   {{3, {0x00, 0x22, 0, 0, 0, 0, 0, 0}}},
                   false,
                   true},
        // Speed: a number in range as it is, anything else not a number becomes 9600.
        RecordCase{"SpeedNotANumberIs9600", [](TXet16Choices& c) { c.Speed = "abc"; }, {}, true},
        RecordCase{"EmptySpeedIs9600", [](TXet16Choices& c) { c.Speed = ""; }, {}, true},
        RecordCase{"SpeedWithBlanks", [](TXet16Choices& c) { c.Speed = " 19200 "; }, {{64, {0x00, 0x4B}}}},
        RecordCase{"LargestSpeed", [](TXet16Choices& c) { c.Speed = "65535"; }, {{64, {0xFF, 0xFF}}}},
        RecordCase{"ZeroSpeed", [](TXet16Choices& c) { c.Speed = "0"; }, {{64, {0x00, 0x00}}}},
        // Lists hold positions, not the numbers shown.
        RecordCase{"DataBits7IsZero", [](TXet16Choices& c) { c.DataBits = 0; }, {{66, {0}}}},
        RecordCase{"PwmPort5Is254", [](TXet16Choices& c) { c.OutputSource[2] = 19; }, {{57, {254}}}},
        RecordCase{"DmxChannel16Is16", [](TXet16Choices& c) { c.OutputSource[7] = 16; }, {{62, {16}}}},
        RecordCase{"OutputSourceEnds",
                   [](TXet16Choices& c) {
                       c.OutputSource = {0, 1, 17, 20, 0, 0, 0, 0};
                   },
                   {{55, {0, 1, 252, 255}}}},
        RecordCase{"InputModes", [](TXet16Choices& c) { c.InputMode = {1, 5, 6}; }, {{0, {1, 5, 6}}}},
        RecordCase{"PortModes", [](TXet16Choices& c) { c.PortMode = {1, 0, 0, 1}; }, {{51, {1, 0, 0, 1}}}},
        RecordCase{"SerialAndModuleLists",
                   [](TXet16Choices& c) {
                       c.SerialMode = 2;
                       c.Parity = 4;
                       c.StopBits = 2;
                       c.ProgramAs = 3;
                   },
                   {{63, {2}}, {67, {4, 2, 3}}}}),
    [](const ::testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });

struct RefusalCase {
    const char* name;
    std::function<void(TXet16Choices&)> choose;
    TXet16Refusal refusal;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class Xet16Refusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Xet16Refusals, NothingToSend) {
    TXet16Choices choices;
    GetParam().choose(choices);
    EXPECT_EQ(BuildXet16(choices).Refusal, GetParam().refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Xet16Refusals,
    ::testing::Values(
        // A speed the 16-bit field cannot hold would reach the module as a different speed.
        RefusalCase{"Speed65536", [](TXet16Choices& c) { c.Speed = "65536"; },
                    TXet16Refusal::SpeedOutOfRange},
        RefusalCase{"Speed115200", [](TXet16Choices& c) { c.Speed = "115200"; },
                    TXet16Refusal::SpeedOutOfRange},
        RefusalCase{"SpeedBeyond64Bits", [](TXet16Choices& c) { c.Speed = "184467440737095516160"; },
                    TXet16Refusal::SpeedOutOfRange},
        RefusalCase{"NegativeSpeed", [](TXet16Choices& c) { c.Speed = "-1"; },
                    TXet16Refusal::SpeedOutOfRange},
        RefusalCase{"InputModePastList", [](TXet16Choices& c) { c.InputMode[1] = 7; },
                    TXet16Refusal::ChoiceOutOfRange},
        RefusalCase{"OutputSourcePastList", [](TXet16Choices& c) { c.OutputSource[0] = 21; },
                    TXet16Refusal::ChoiceOutOfRange},
        RefusalCase{"NegativeModule", [](TXet16Choices& c) { c.Module = -1; },
                    TXet16Refusal::ChoiceOutOfRange}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

struct DestinationCase {
    const char* name;
    QString portText;
    int module;
    quint16 port;
    bool portDefaulted;
    std::uint8_t requestCode;
};

void PrintTo(const DestinationCase& c, std::ostream* os) {
    *os << c.name;
}

class Xet16Destination : public ::testing::TestWithParam<DestinationCase> {};

TEST_P(Xet16Destination, PortAndModuleNumber) {
    const DestinationCase& c = GetParam();
    TXet16Choices choices;
    choices.Host = "";
    choices.Password = "tajne";
    choices.PortText = c.portText;
    choices.Module = c.module;
    const TXet16Request r = BuildXet16(choices);
    ASSERT_EQ(r.Refusal, TXet16Refusal::None);
    EXPECT_EQ(r.Port, c.port);
    EXPECT_EQ(r.PortDefaulted, c.portDefaulted);
    EXPECT_EQ(frame::kExtSaveBase + r.No, c.requestCode);
    EXPECT_EQ(r.Host, QString()); // an empty address goes on unchanged
    EXPECT_EQ(r.Password, QStringLiteral("tajne"));
    // The module the request addresses is not the one the module is programmed as.
    EXPECT_EQ(r.Record.I2CAddr, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, Xet16Destination,
                         ::testing::Values(DestinationCase{"Module1", "7080", 0, 7080, false, 0x20},
                                           DestinationCase{"Module4", "7080", 3, 7080, false, 0x23},
                                           DestinationCase{"PortNotANumber", "abc", 1, 7080, true, 0x21},
                                           DestinationCase{"PortLow16Bits", "70800", 2, 5264, false, 0x22}),
                         [](const ::testing::TestParamInfo<DestinationCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(Xet16Record, IsBuiltAfreshEachTime) {
    TXet16Choices choices;
    choices.Rom1[0] = "FFFFFFFFFFFFFFFF";
    choices.OutputSource.fill(20);
    ASSERT_NE(recordBytes(BuildXet16(choices).Record), defaultBytes());
    EXPECT_EQ(recordBytes(BuildXet16(TXet16Choices{}).Record), defaultBytes());
}

} // namespace
