#include "config/ConfigError.h"
#include "config/ConfigText.h"
#include "tests/config/held_config.h"
#include "tests/config/populated_config.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QLatin1String kCrLf("\r\n");

using testcfg::HeldQPA;
using testcfg::HeldQPB;
using testcfg::read;
using testcfg::write;

QString lines(std::initializer_list<const char*> list) {
    QString out;
    for (const char* l : list)
        out += QString::fromUtf8(l) + kCrLf;
    return out;
}

// Circuits 1..n in use with labels equal to their numbers, as if the logic had named them.
void useCircuits(TDCircuitRemap& d, TACircuitRemap& a, int digital, int analog) {
    for (int k = 1; k <= digital; ++k)
        RemapSet(d.DCircuitConns, k, static_cast<std::uint8_t>(k));
    for (int k = 1; k <= analog; ++k)
        RemapSet(a.ACircuitConns, k, static_cast<std::uint8_t>(k));
}

std::string name8(const std::uint8_t* field) {
    return std::string(reinterpret_cast<const char*>(field),
                       strnlen(reinterpret_cast<const char*>(field), 8));
}

TEST(ConfigText, WriterLaysOutTheSectionsInOrder) {
    HeldQPB h;
    const QString text = write(h);
    QStringList headers;
    for (const QString& l : text.split(kCrLf))
        if (l.startsWith(QLatin1Char('#')))
            headers << l;
    EXPECT_EQ(headers, (QStringList{"#version=V4.1.0QPBC", "#settings", "#logic", "#dcircuit", "#acircuit",
                                    "#text", "#numer"}));
    EXPECT_TRUE(text.endsWith(QStringLiteral("#numer\r\n"))) << "only non-zero variables are written";
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n\tdcirc_FD=\"\" 'OR'\r\n")));
    EXPECT_FALSE(text.contains(QStringLiteral("dcirc_FE")));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n\tacirc_FD=\"\"\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n\ttext_3F=\r\n#numer")));

    HeldQPA a;
    const QString qpa =
        ConfigQPAToText(QStringLiteral("V4.1.0"), QLatin1Char('C'), *a.config, true, *a.companion);
    EXPECT_EQ(qpa.left(qpa.indexOf(QStringLiteral("#settings"))), QStringLiteral("#version=V4.1.0QPAC\r\n"));
    EXPECT_TRUE(qpa.endsWith(QStringLiteral("#dcircuit\r\n#acircuit\r\n#text\r\n"))) << "OnlyConfigured";
    const QString full = write(a);
    EXPECT_TRUE(full.contains(QStringLiteral("\tacirc_1F=\"\"\r\n#text")));
    EXPECT_TRUE(full.endsWith(QStringLiteral("\ttext_7E=\r\n"))) << "entry 7F is never written";
}

TEST(ConfigText, CircuitLineCarriesNameAliasLogicAndXCode) {
    HeldQPA h;
    std::memcpy(h.config->D_CirName[5], "Pump", 4);
    std::memcpy(h.config->Set_Text[2], "Main pump", 9);
    h.config->D_CirAlias[5] = 3;
    h.config->D_CirParam[5] = 0x11;
    h.config->D_CirParam[6] = 0x72; // X code 7 has no text form
    h.config->D_CirParam[7] = 0x03; // nor has logic 3
    std::memcpy(h.config->A_CirName[31], "ABCDEFGH", 8);
    h.config->A_CirAlias[31] = 3;
    h.config->D_CirAlias[8] = 65; // beyond the 64-entry text table: names nothing
    const QString text = write(h);
    EXPECT_TRUE(text.contains(QStringLiteral("\tdcirc_05=\"Pump\" `Main pump` 'OR' !X2!\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\tdcirc_06=\"\" 'XOR'\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\tdcirc_07=\"\"\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\tdcirc_08=\"\" 'OR'\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\tacirc_1F=\"ABCDEFGH\" `Main pump`\r\n")));
}

TEST(ConfigText, SettingsRoundTripThroughTheText) {
    HeldQPA h;
    const std::uint8_t ip[5][4] = {
        {192, 168, 0, 177}, {255, 255, 255, 0}, {192, 168, 0, 1}, {8, 8, 4, 4}, {0, 0, 0, 0}};
    std::memcpy(h.config->IP, ip, sizeof ip);
    const std::uint8_t mac[6] = {0x00, 0x1A, 0xB2, 0xC3, 0xD4, 0xFF};
    std::memcpy(h.config->MAC, mac, 6);
    std::memcpy(h.config->NETNAME, "Sixteen\\chars`\xE9\r", 16); // full width, every escape
    std::memcpy(h.config->Text16[0], "8052", 4);
    std::memcpy(h.config->Text32[4], "smtp=user\tname", 14);
    le::PutU16(h.config->Numer16[6], 65535);
    h.config->Numer8[2] = 255;
    h.config->Bits = 0x85;
    le::PutU32(h.config->TimeStamp, 0x12345678);
    le::PutU32(h.config->CrcConf, 0x9ABCDEF0);
    h.config->Alligment0[3] = 7;
    const QString text = write(h);
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n\tip_2=192.168.0.1\r\n\tip_3=8.8.4.4\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n\tmac=00-1A-B2-C3-D4-FF\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n\tnetname=Sixteen\\\\chars\\60\\E9\\0D\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n\ttext32_4=smtp=user\\09name\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n\tnumer16_6=65535\r\n\tnumer8_0=0\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n\tbit8_0=720\r\n#logic\r\n")));

    HeldQPA back;
    ASSERT_TRUE(read(back, text)) << ConfigErrorText().toStdString();
    EXPECT_EQ(std::memcmp(back.config.get(), h.config.get(), offsetof(TNodarixQPAConfig, TimeStamp)), 0);
    // The controller's own words and the reserved bytes do not travel through the text.
    EXPECT_EQ(le::GetU32(back.config->TimeStamp), 0u);
    EXPECT_EQ(le::GetU32(back.config->CrcConf), 0u);
    EXPECT_EQ(back.config->Alligment0[3], 0);
    EXPECT_TRUE(ConfigErrorText().isEmpty());
}

struct SettingsCase {
    const char* name;
    const char* line;
    bool ok;
};

class SettingsLineTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(SettingsLineTest, ReadsOrFailsWithUnknownSetting) {
    const auto& c = GetParam();
    HeldQPB h;
    const QString text = lines({"#settings", c.line, "#text"});
    EXPECT_EQ(read(h, text), c.ok);
    EXPECT_EQ(LastConfigError, c.ok ? 0 : kErrUnknownSetting);
    if (!c.ok) {
        QString shown = QString::fromUtf8(c.line);
        shown.remove(QLatin1Char('\t'));
        EXPECT_EQ(ConfigErrorText(),
                  QStringLiteral("Błąd konfiguracji: nieznane ustawienie \"") + shown + "\".");
    }
}

INSTANTIATE_TEST_SUITE_P(
    ConfigText, SettingsLineTest,
    ::testing::Values(SettingsCase{"ip_with_trailing_text", "\tip_0=10.0.0.1 office", true},
                      SettingsCase{"ip_index_out_of_range", "\tip_5=10.0.0.1", false},
                      SettingsCase{"ip_missing_number", "\tip_0=10.0.0", false},
                      SettingsCase{"index_without_equals", "\tip_0 10.0.0.1", false},
                      SettingsCase{"mac_short", "\tmac=00-11-22-33-44", false},
                      SettingsCase{"netname_longer_than_field", "\tnetname=a very long network name", true},
                      SettingsCase{"numer16_max", "\tnumer16_6=65535", true},
                      // Hand edits leave blanks and tabs behind; other trailing text is refused.
                      SettingsCase{"numer16_trailing_space", "\tnumer16_0=65535 ", true},
                      SettingsCase{"numer8_trailing_tab_and_blank", "\tnumer8_0=8\t ", true},
                      SettingsCase{"bit8_trailing_blanks", "\tbit8_0=720  ", true},
                      SettingsCase{"numer16_trailing_text", "\tnumer16_0=80 x", false},
                      SettingsCase{"numer16_blank_inside", "\tnumer16_0=8 0", false},
                      SettingsCase{"bit8_trailing_text", "\tbit8_0=7 x", false},
                      SettingsCase{"numer16_too_big", "\tnumer16_0=65536", false},
                      // Six digits would be cut to their first five; refused instead.
                      SettingsCase{"numer16_six_digits", "\tnumer16_0=123456", false},
                      SettingsCase{"numer8_too_big", "\tnumer8_2=256", false},
                      SettingsCase{"numer8_index_3", "\tnumer8_3=1", false},
                      SettingsCase{"bit8_digit_8", "\tbit8_0=8", false},
                      SettingsCase{"bit8_index_1", "\tbit8_1=0", false},
                      SettingsCase{"bit8_empty", "\tbit8_0=", true},
                      SettingsCase{"no_tab", "ip_0=10.0.0.1", false}, SettingsCase{"empty_line", "", false},
                      SettingsCase{"unknown_key", "\tgateway=10.0.0.1", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigText, SettingsKeysInAnyOrderLastOneCounts) {
    HeldQPA h;
    ASSERT_TRUE(read(h, lines({"#settings", "\tnumer16_1=80", "\tip_0=1.2.3.4", "\tnumer16_1=7080"})));
    EXPECT_EQ(le::GetU16(h.config->Numer16[1]), 7080);
    EXPECT_EQ(h.config->IP[0][3], 4);
    EXPECT_EQ(h.config->MAC[0], 0) << "missing keys keep the cleared value";
}

struct HeaderCase {
    const char* name;
    bool qpb;
    const char* text;
    bool ok;
    std::int32_t error;
};

class FileLevelTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(FileLevelTest, Reads) {
    const auto& c = GetParam();
    HeldQPA a;
    HeldQPB b;
    const QString text = QString::fromUtf8(c.text);
    EXPECT_EQ(c.qpb ? read(b, text) : read(a, text), c.ok);
    EXPECT_EQ(LastConfigError, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    ConfigText, FileLevelTest,
    ::testing::Values(
        HeaderCase{"empty_text", false, "", false, kErrNoSettings},
        HeaderCase{"settings_header_last", false, "#version=V4.1.0QPAC\r\n#settings", false,
                   kErrUnknownSetting},
        HeaderCase{"settings_header_last_with_crlf", false, "#settings\r\n", false, kErrUnknownSetting},
        HeaderCase{"dcircuit_header_last", true, "#dcircuit", false, kErrUnknownSetting},
        HeaderCase{"acircuit_header_last", true, "#acircuit\r\n", false, kErrUnknownSetting},
        HeaderCase{"text_header_last", true, "#text", true, 0},
        HeaderCase{"numer_header_last", true, "#numer\r\n", true, 0},
        HeaderCase{"lines_before_first_header_and_unknown_sections", false,
                   "junk\r\n#unknown\r\n\tx=1\r\n#text\r\n\ttext_00=a\r\n", true, 0},
        HeaderCase{"lf_only_is_one_line", false, "#version=x\n#settings\n\tip_0=bad", true, 0},
        HeaderCase{"text_7F_in_qpa", false, "#text\r\n\ttext_7F=last", true, 0},
        HeaderCase{"text_40_in_qpb", true, "#text\r\n\ttext_40=x", false, kErrTextNumber},
        HeaderCase{"text_without_equals", true, "#text\r\n\ttext_01 x", false, kErrTextNumber},
        HeaderCase{"text_bad_key", true, "#text\r\n\ttxt_01=x", false, kErrUnknownSetting},
        HeaderCase{"empty_line_ends_text", true, "#text\r\n\r\n\tanything\r\n", true, 0},
        HeaderCase{"numer_in_qpa_is_an_unknown_section", false, "#numer\r\n\tnumer_00=x", true, 0},
        HeaderCase{"numer_40", true, "#numer\r\n\tnumer_40=1", false, kErrNumerNumber},
        HeaderCase{"numer_bad_value", true, "#numer\r\n\tnumer_00=1x", false, kErrNumerValue},
        HeaderCase{"numer_too_big", true, "#numer\r\n\tnumer_00=2147483648", false, kErrNumerValue},
        HeaderCase{"empty_line_ends_numer", true, "#numer\r\n\r\n", true, 0},
        HeaderCase{"empty_line_in_dcircuit", true, "#dcircuit\r\n\r\n", false, kErrUnknownSetting},
        HeaderCase{"header_words_are_prefixes", true, "#textual\r\n\ttext_00=x", true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigText, NumerAndTextValuesAreStored) {
    HeldQPB h;
    ASSERT_TRUE(read(h, lines({"#numer", "\tnumer_00=2.5", "\tnumer_01=3.5", "\tnumer_3F=-2147483648",
                               "#text", "\ttext_3F=a\\0D\\0Ab\\60"})));
    EXPECT_EQ(le::GetS32(h.companion->Var_Numer[0]), 2);
    EXPECT_EQ(le::GetS32(h.companion->Var_Numer[1]), 4);
    EXPECT_EQ(le::GetS32(h.companion->Var_Numer[63]), INT32_MIN);
    EXPECT_STREQ(reinterpret_cast<const char*>(h.companion->Var_Text[63]), "a\r\nb`");
}

TEST(ConfigText, EmptyTextQuotesTheLineAnEarlierReadLeft) {
    HeldQPA h;
    read(h, lines({"#settings", "\tip_0=bad"}));
    EXPECT_FALSE(read(h, QString()));
    EXPECT_EQ(ConfigErrorText(), QStringLiteral("Błąd konfiguracji: brak ustawień \"ip_0=bad\"."));
}

TEST(ConfigText, ErrorMessagesAreTheControllerToolsOwn) {
    LastConfigLine = QStringLiteral("\tM00:\tx");
    const std::pair<std::int32_t, const char*> cases[] = {
        {kErrNoTextSlot, "brak zasowów tekstowych"},
        {kErrNumberParam, "parametr numeryczny poz zakresem"},
        {kErrDigitalLogic, "nieznana logika obwodu cyfrowego"},
        {kErrDigitalNumber, "numer obwodu cyfrowego poza zakresem nodarix-a"},
        {kErrAnalogNumber, "numer obwodu analogowego poza zakresem nodarix-a"},
        {kErrTextNumber, "numer tekstu poza zakresem nodarix-a"},
        {kErrNumerNumber, "zmienna numeryczna poza zakresem nodarix-a"},
        {kErrNumerValue, "uszkodzona wartość numeryczna"},
        {kErrNoCell, "brak zasobów nodarixa"},
        {kErrCellNumber, "uszkodzony parametr alokacji makroceli"},
    };
    for (const auto& [code, message] : cases) {
        LastConfigError = code;
        EXPECT_EQ(ConfigErrorText(),
                  QStringLiteral("Błąd konfiguracji: ") + QString::fromUtf8(message) + " \"M00:x\".");
    }
    for (std::int32_t code = -1; code >= -27; --code)
        EXPECT_FALSE(ConfigErrorMessage(code).isEmpty()) << code;
    LastConfigError = 0;
    EXPECT_TRUE(ConfigErrorText().isEmpty());
}

// Circuit sections read against remap tables as the logic section leaves them (KeepCurrent keeps
// the tables set up here).
class CircuitSectionTest : public ::testing::Test {
protected:
    HeldQPA h;
    void SetUp() override { useCircuits(h.digital, h.analog, 3, 2); }
    bool readKeep(std::initializer_list<const char*> l) { return read(h, lines(l), true); }
};

TEST_F(CircuitSectionTest, UsedCircuitsWithoutALineAreNamedTempButOnlyWhenTheSectionExists) {
    ASSERT_TRUE(readKeep({"#dcircuit", "\tdcirc_02=\"Fan\" 'AND'"}));
    EXPECT_EQ(name8(h.config->D_CirName[1]), "temp_D01");
    EXPECT_EQ(name8(h.config->D_CirName[2]), "Fan");
    EXPECT_EQ(name8(h.config->D_CirName[3]), "temp_D03");
    EXPECT_EQ(name8(h.config->D_CirName[4]), "") << "not in use";
    EXPECT_EQ(h.config->D_CirParam[2], 0);
    EXPECT_EQ(name8(h.config->A_CirName[1]), "") << "no #acircuit section";
    ASSERT_TRUE(readKeep({"#acircuit", "\tacirc_01=\"T\""}));
    EXPECT_EQ(name8(h.config->A_CirName[1]), "T");
    EXPECT_EQ(name8(h.config->A_CirName[2]), "temp_A02");
}

TEST_F(CircuitSectionTest, LinesOfCircuitsTheLogicDoesNotUseAreSkipped) {
    ASSERT_TRUE(readKeep({"#dcircuit", "\tdcirc_01=\"A\" 'OR'", "\tdcirc_FD=\"Unused\""}));
    EXPECT_EQ(name8(h.config->D_CirName[1]), "A");
    EXPECT_EQ(name8(h.config->D_CirName[253]), "");
}

TEST_F(CircuitSectionTest, LabelsNotNumbersChooseTheCircuit) {
    ClearRecord(h.digital);
    RemapSet(h.digital.DCircuitConns, 1, 0x20); // the logic's first circuit was labelled 20
    ASSERT_TRUE(readKeep({"#dcircuit", "\tdcirc_20=\"Heater\" 'XOR' !X64!"}));
    EXPECT_EQ(name8(h.config->D_CirName[1]), "Heater");
    EXPECT_EQ(h.config->D_CirParam[1], 0x62);
}

struct CircuitErrorCase {
    const char* name;
    const char* line;
    std::int32_t error; // 0 = success
    std::uint8_t param; // D_CirParam[1] afterwards (cleared state 0x01; set to 0x31 before)
};

class CircuitLineTest : public ::testing::TestWithParam<CircuitErrorCase> {};

TEST_P(CircuitLineTest, Reads) {
    const auto& c = GetParam();
    HeldQPA h;
    useCircuits(h.digital, h.analog, 3, 31);
    h.config->D_CirParam[1] = 0x31;
    const bool digital = QByteArray(c.line).startsWith("\td");
    EXPECT_EQ(read(h, lines({digital ? "#dcircuit" : "#acircuit", c.line}), true), c.error == 0);
    EXPECT_EQ(LastConfigError, c.error);
    EXPECT_EQ(h.config->D_CirParam[1], c.param);
}

INSTANTIATE_TEST_SUITE_P(
    ConfigText, CircuitLineTest,
    // Without a logic part (what the writer gives for a logic value with no text form) the circuit
    // keeps its logic; an empty or unknown logic part still fails.
    ::testing::Values(CircuitErrorCase{"logic_missing_keeps_logic", "\tdcirc_01=\"A\" !X2!", 0, 0x11},
                      CircuitErrorCase{"logic_empty", "\tdcirc_01=\"A\" ''", kErrDigitalLogic, 0x31},
                      CircuitErrorCase{"logic_unknown", "\tdcirc_01=\"A\" 'NAND'", kErrDigitalLogic, 0x31},
                      CircuitErrorCase{"unknown_x_code_keeps_bits", "\tdcirc_01=\"A\" 'AND' !X3!", 0, 0x30},
                      CircuitErrorCase{"x_code_replaced", "\tdcirc_01=\"A\" 'XOR' !X16!", 0, 0x42},
                      CircuitErrorCase{"digital_number_0", "\tdcirc_00=\"A\" 'OR'", kErrDigitalNumber, 0x31},
                      CircuitErrorCase{"digital_number_FE", "\tdcirc_FE=\"A\" 'OR'", kErrDigitalNumber, 0x31},
                      CircuitErrorCase{"digital_without_equals", "\tdcirc_01 \"A\" 'OR'", kErrDigitalNumber,
                                       0x31},
                      CircuitErrorCase{"digital_bad_key", "\tdcircuit_01=\"A\"", kErrUnknownSetting, 0x31},
                      CircuitErrorCase{"analog_1F_in_qpa", "\tacirc_1F=\"A\"", 0, 0x31},
                      CircuitErrorCase{"analog_20_in_qpa", "\tacirc_20=\"A\"", kErrAnalogNumber, 0x31}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigText, QpbAnalogNumbersGoTo253) {
    HeldQPB h;
    EXPECT_TRUE(read(h, lines({"#acircuit", "\tacirc_FD=\"A\""}), true));
    EXPECT_FALSE(read(h, lines({"#acircuit", "\tacirc_FE=\"A\""}), true));
    EXPECT_EQ(LastConfigError, kErrAnalogNumber);
}

TEST(ConfigText, NamesAndAliasesWithDelimitersSurviveAWriteAndRead) {
    HeldQPB h;
    useCircuits(h.digital, h.analog, 2, 1);
    std::memcpy(h.config->D_CirName[1], "a\"b'c!d`", 8);
    std::memcpy(h.config->Set_Text[0], "It's \"the\" `main` one!", 22);
    h.config->D_CirAlias[1] = 1;
    h.config->D_CirParam[1] = 0x22;
    std::memcpy(h.config->A_CirName[1], "x!y", 3);
    h.config->A_CirAlias[1] = 1;
    const QString text = write(h);
    EXPECT_TRUE(text.contains(QStringLiteral(
        "\tdcirc_01=\"a\\22b\\27c\\21d\\60\" `It\\27s \\22the\\22 \\60main\\60 one\\21` 'XOR' !X4!\r\n")));

    HeldQPB back;
    useCircuits(back.digital, back.analog, 2, 1);
    ASSERT_TRUE(read(back, text, true)) << ConfigErrorText().toStdString();
    EXPECT_EQ(std::memcmp(back.config->D_CirName[1], "a\"b'c!d`", 8), 0);
    EXPECT_EQ(back.config->D_CirParam[1], 0x22);
    EXPECT_EQ(name8(back.config->A_CirName[1]), "x!y");
    ASSERT_EQ(back.config->D_CirAlias[1], 1);
    EXPECT_EQ(back.config->A_CirAlias[1], 1) << "an equal alias shares its text entry";
    EXPECT_STREQ(reinterpret_cast<const char*>(back.config->Set_Text[0]), "It's \"the\" `main` one!");
}

TEST(ConfigText, UnescapedAliasesOfOlderFilesStillRead) {
    HeldQPA h;
    useCircuits(h.digital, h.analog, 2, 0);
    ASSERT_TRUE(read(h,
                     lines({"#dcircuit", "\tdcirc_01=\"Pump\" `Main pump` 'OR' !X2!",
                            "\tdcirc_02=\"P2\" `Main pump` 'AND'"}),
                     true))
        << ConfigErrorText().toStdString();
    EXPECT_EQ(h.config->D_CirAlias[1], 1);
    EXPECT_EQ(h.config->D_CirAlias[2], 1);
    EXPECT_EQ(h.config->D_CirParam[1], 0x11);
    EXPECT_STREQ(reinterpret_cast<const char*>(h.config->Set_Text[0]), "Main pump");
}

TEST(ConfigText, AliasesFailWhenTheTextTableIsFull) {
    HeldQPA h;
    useCircuits(h.digital, h.analog, 2, 0);
    for (auto& entry : h.config->Set_Text)
        entry[0] = 'x';
    EXPECT_FALSE(read(h, lines({"#dcircuit", "\tdcirc_01=\"Pump\" `New alias` 'OR'"}), true));
    EXPECT_EQ(LastConfigError, kErrNoTextSlot);
}

TEST(ConfigText, KeepCurrentSkipsSettingsAndRenamesCircuitsInUse) {
    HeldQPA h;
    useCircuits(h.digital, h.analog, 2, 0);
    h.config->IP[0][0] = 10;
    ASSERT_TRUE(
        read(h, lines({"#dcircuit", "\tdcirc_01=\"First\" 'OR'", "\tdcirc_02=\"Second\" 'OR'"}), true));
    ASSERT_TRUE(read(h,
                     lines({"#settings", "\tip_0=192.168.0.1", "\tnonsense", "#dcircuit",
                            "\tdcirc_02=\"Again\" 'AND'", "#text", "\ttext_01=added"}),
                     true))
        << ConfigErrorText().toStdString();
    EXPECT_EQ(h.config->IP[0][0], 10) << "settings are passed over";
    EXPECT_EQ(name8(h.config->D_CirName[1]), "temp_D01") << "named only by the first text";
    EXPECT_EQ(name8(h.config->D_CirName[2]), "Again");
    EXPECT_STREQ(reinterpret_cast<const char*>(h.companion->Var_Text[1]), "added");

    // A replacing read starts from the cleared state.
    ASSERT_TRUE(read(h, lines({"#text", "\ttext_02=x"})));
    EXPECT_EQ(h.config->IP[0][0], 0);
    EXPECT_EQ(name8(h.config->D_CirName[2]), "");
    EXPECT_EQ(h.companion->Var_Text[1][0], 0);
    EXPECT_FALSE(RemapUsed(h.digital.DCircuitConns, 1));
}

TEST(ConfigText, AFailedReadKeepsWhatWasStoredBeforeTheFailingLine) {
    HeldQPB h;
    EXPECT_FALSE(read(h, lines({"#settings", "\tip_0=10.1.2.3", "#numer", "\tnumer_00=5", "\tnumer_01=x",
                                "\tnumer_02=7"})));
    EXPECT_EQ(h.config->IP[0][0], 10);
    EXPECT_EQ(le::GetS32(h.companion->Var_Numer[0]), 5);
    EXPECT_EQ(le::GetS32(h.companion->Var_Numer[2]), 0);
    EXPECT_EQ(LastConfigLine, QStringLiteral("\tnumer_01=x"));
}

TEST(ConfigText, FailedLineNumberCountsTheLinesTaken) {
    const QString text = lines({"#version=x", "#settings", "\tip_0=1.2.3.4", "\tbad", "\tip_1=1.2.3.4"});
    HeldQPA h;
    QString rest = text;
    ASSERT_FALSE(ReadConfigTextQPA(rest, h.autoPlace, false, h.analog, h.digital, *h.companion, *h.config));
    EXPECT_EQ(FailedLineNumber(text, rest.size()), 4);
    EXPECT_EQ(FailedLineNumber(QStringLiteral("a\r\nb"), 0), 2) << "last line without CR LF";
    EXPECT_EQ(FailedLineNumber(QString(), 0), 1);
}

// Time constants beyond 29 hours and negative ones are written with all their hour digits and a
// sign, and read back as they were.
TEST(ConfigText, LongAndNegativeTimeConstantsReadBack) {
    for (const std::int32_t seconds : {108000, 359999, 400000, -3600, INT32_MIN, INT32_MAX}) {
        HeldQPB h;
        ASSERT_TRUE(read(h, lines({"#logic", "\tM00:CLOCK*8-1[O \"d01\"]VAR000C`07:30:00`", "#dcircuit",
                                   "\tdcirc_01=\"Clock\" 'OR'"})))
            << ConfigErrorText().toStdString();
        le::PutS32(h.config->Set_Numer[0], seconds);
        const QString text = write(h, true);
        HeldQPB back;
        ASSERT_TRUE(read(back, text)) << ConfigErrorText().toStdString();
        EXPECT_EQ(le::GetS32(back.config->Set_Numer[0]), seconds);
        EXPECT_EQ(write(back, true).toStdString(), text.toStdString());
    }
}

// A realistic, fully populated image: written, read and written again gives the same text, and
// the second read gives the same image.
template <class H> void expectStableRoundTrip(bool qpb) {
    H first;
    const QString source = testcfg::populatedText({qpb, false});
    ASSERT_TRUE(read(first, source)) << ConfigErrorText().toStdString();
    const QString text1 = write(first);
    H second;
    ASSERT_TRUE(read(second, text1)) << ConfigErrorText().toStdString();
    const QString text2 = write(second);
    EXPECT_EQ(text1, text2);
    EXPECT_EQ(std::memcmp(first.config.get(), second.config.get(), sizeof *first.config), 0);
    EXPECT_EQ(std::memcmp(first.companion.get(), second.companion.get(), sizeof *first.companion), 0);
    EXPECT_EQ(std::memcmp(&first.digital, &second.digital, sizeof first.digital), 0);
    EXPECT_EQ(std::memcmp(&first.analog, &second.analog, sizeof first.analog), 0);
    // Nothing was left out: every cell and every circuit of the logic carries its line.
    EXPECT_FALSE(text1.contains(QStringLiteral("\t---")));
    EXPECT_FALSE(text1.contains(QStringLiteral("temp_")));
    EXPECT_EQ(text1.count(QStringLiteral("\tdcirc_")), 253);
}

TEST(ConfigText, PopulatedQpaImageRoundTripsUnchanged) {
    expectStableRoundTrip<HeldQPA>(false);
}
TEST(ConfigText, PopulatedQpbImageRoundTripsUnchanged) {
    expectStableRoundTrip<HeldQPB>(true);
}

} // namespace
