// "nodarix-cli config diff": pairs of small texts, the report lines and the exit status.
#include "tests/config/TextFiles.h"
#include "tests/support/CliProcess.h"

namespace {

// Two lamps behind a switch: a port instance and an AND2 instance wired through named circuits,
// one constant input, one text variable and one number.
const char kBase[] = "#version=V4.1.0QPBC\r\n"
                     "#settings\r\n"
                     "\tnetname=DOM\r\n"
                     "\tnumer16_0=80\r\n"
                     "#logic\r\n"
                     "\tM00:PORTN*8-1(I \"d01\")[O \"d02\"]TXT10C`Salon`\r\n"
                     "\tM01:AND2*4-1(I1 \"d02\",I2 \"d=1\")[O \"d03\",O]\r\n"
                     "#dcircuit\r\n"
                     "\tdcirc_01=\"SW\" `Switch` 'OR'\r\n"
                     "\tdcirc_02=\"LAMP\" 'OR'\r\n"
                     "\tdcirc_03=\"OUT\" 'AND'\r\n"
                     "#acircuit\r\n"
                     "#text\r\n"
                     "\ttext_00=hello\r\n"
                     "#numer\r\n"
                     "\tnumer_01=5\r\n";

struct DiffCase {
    const char* name;
    const char* from; // every occurrence replaced in the base text to give B
    const char* to;
    int exitCode;
    const char* report; // the lines on stdout
    const char* alsoFrom = "";
    const char* alsoTo = "";
};

class ConfigDiff : public TextFiles, public ::testing::WithParamInterface<DiffCase> {};

TEST_P(ConfigDiff, ReportsWhatAnInstallerWouldChange) {
    const auto& c = GetParam();
    QByteArray b(kBase);
    for (auto [from, to] : {std::pair{c.from, c.to}, std::pair{c.alsoFrom, c.alsoTo}}) {
        if (!*from)
            continue;
        ASSERT_TRUE(b.contains(from)) << from;
        b.replace(from, to);
    }
    const CliRun r = RunCli({"config", "diff", put("a.ndrx", kBase), put("b.ndrx", b)});
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
    EXPECT_EQ(r.out, QString::fromUtf8(c.report));
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, ConfigDiff,
    ::testing::Values(
        DiffCase{"equal", "", "", 0, ""},
        DiffCase{"setting_changed", "netname=DOM", "netname=DOM-2", 1,
                 "setting netname: \"DOM\" \u2192 \"DOM-2\"\n"},
        DiffCase{"setting_with_polish_letters", "netname=DOM", "netname=Ma\\B3y dom", 1,
                 "setting netname: \"DOM\" \u2192 \"Ma\u0142y dom\"\n"},
        DiffCase{"cell_moved_only", "M01:AND2", "M07:AND2", 0, ""},
        DiffCase{"circuit_renamed", "dcirc_03=\"OUT\"", "dcirc_03=\"EXIT\"", 1,
                 "digital circuit \"OUT\" renamed to \"EXIT\"\n"},
        // Circuit 02 becomes 09 everywhere: its name, not its number, identifies it.
        DiffCase{"circuit_renumbered_only", "\"d02\"", "\"d09\"", 0, "", "dcirc_02", "dcirc_09"},
        DiffCase{"text_changed", "text_00=hello", "text_00=hello again", 1,
                 "text text_00: \"hello\" \u2192 \"hello again\"\n"},
        DiffCase{"text_with_a_line_break", "text_00=hello", "text_00=two\\0D\\0Alines", 1,
                 "text text_00: \"hello\" \u2192 \"two\\0D\\0Alines\"\n"},
        DiffCase{"number_removed", "\tnumer_01=5\r\n", "", 1, "number numer_01: 5 \u2192 0\n"},
        DiffCase{"parameter_changed", "`Salon`", "`Kuchnia`", 1,
                 "cell PORTN*8-1: TXT10 \"Salon\" \u2192 \"Kuchnia\"\n"},
        DiffCase{"circuit_alias_logic_xcode", "`Switch` 'OR'", "`Button` 'XOR' !X4!", 1,
                 "digital circuit \"SW\": alias \"Switch\" \u2192 \"Button\"\n"
                 "digital circuit \"SW\": logic OR \u2192 XOR\n"
                 "digital circuit \"SW\": X code none \u2192 X4\n"},
        DiffCase{"pin_rewired_and_options", "I1 \"d02\",I2 \"d=1\"", "I1 \"d01\" '~',I2 \"d=0\"", 1,
                 "cell AND2*4-1: input I1 \"LAMP\" \u2192 \"SW\"\n"
                 "cell AND2*4-1: input I1 options \"\" \u2192 \"~\"\n"
                 "cell AND2*4-1: input I2 constant 1 \u2192 constant 0\n"},
        DiffCase{"cell_added", "#dcircuit", "\tM02:RELAY*4-1(I \"d03\")\r\n#dcircuit", 1,
                 "cell RELAY*4-1 added: input I \"OUT\"\n"},
        DiffCase{"cell_removed_and_its_circuit", "\tM01:AND2*4-1(I1 \"d02\",I2 \"d=1\")[O \"d03\",O]\r\n", "", 1,
                 "digital circuit \"OUT\" removed\n"
                 "cell AND2*4-1 removed: input I1 \"LAMP\", input I2 constant 1, output O 1 \"OUT\"\n"},
        DiffCase{"rejected_text", "\tM00:PORTN", "\tM00:NOSUCHKIND", 6, ""}),
    [](const auto& info) { return std::string(info.param.name); });

class ConfigDiffUsage : public TextFiles {};

TEST_F(ConfigDiffUsage, RejectedTextNamesTheFileLineAndReadersMessage) {
    QByteArray b(kBase);
    b.replace("\tM00:PORTN", "\tM00:NOSUCHKIND");
    const QString bad = put("bad.ndrx", b);
    const CliRun r = RunCli({"config", "diff", put("a.ndrx", kBase), bad});
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_EQ(r.err, bad + QStringLiteral(":6: Błąd konfiguracji: nieznane ustawienie \"M00:NOSUCHKIND*8-1(I "
                                          "\"d01\")[O \"d02\"]TXT10C`Salon`\".\n"));
}

TEST_F(ConfigDiffUsage, EditionComesFromTheOptionOrTheVersionLineAndMustAgree) {
    QByteArray noVersion(kBase);
    noVersion.replace("#version=V4.1.0QPBC\r\n", "");
    const QString a = put("a.ndrx", kBase);
    const QString plain = put("plain.ndrx", noVersion);
    EXPECT_EQ(RunCli({"config", "diff", a, plain}).exitCode, 2);
    EXPECT_EQ(RunCli({"config", "diff", "--edition", "qpb", a, plain}).exitCode, 0);

    QByteArray qpa(kBase);
    qpa.replace("QPBC", "QPAC");
    const CliRun mixed = RunCli({"config", "diff", a, put("qpa.ndrx", qpa)});
    EXPECT_EQ(mixed.exitCode, 2);
    EXPECT_TRUE(mixed.err.contains(QStringLiteral("cannot be compared"))) << mixed.err.toStdString();

    EXPECT_EQ(RunCli({"config", "diff", a}).exitCode, 2);
    EXPECT_EQ(RunCli({"config", "diff", "--edition", "qpc", a, a}).exitCode, 2);
    EXPECT_EQ(RunCli({"config", "diff", a, dir.filePath("missing.ndrx")}).exitCode, 2);
}

} // namespace
