// The offline "config" command of nodarix-cli, run as a process.
#include "config/ConfigError.h"
#include "config/ConfigText.h"
#include "config/MacroCatalogue.h"
#include "tests/config/populated_config.h"
#include "tests/support/CliProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {

class ConfigCli : public ::testing::Test {
protected:
    QTemporaryDir dir;

    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

    CliRun run(const QStringList& args) const { return RunCli(QStringList{QStringLiteral("config")} + args); }

    void put(const char* name, const QByteArray& bytes) const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray get(const char* name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

template <class T> QByteArray bytesOf(const T& record) {
    return QByteArray(reinterpret_cast<const char*>(&record), sizeof record);
}

TEST_F(ConfigCli, FromTextWritesTheImagesThatToTextTurnsBackIntoTheSameText) {
    const QString source = testcfg::populatedText({true, false});
    put("in.ndrx", source.toUtf8());
    CliRun r = run({"from-text", "--edition", "qpb", path("in.ndrx"), "--settings-out", path("s.bin"),
                    "--companion-out", path("c.bin")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Konfiguracja OK.\n"));

    auto config = std::make_unique<TNodarixQPBConfig>();
    auto vars = std::make_unique<TNodarixQPBVars>();
    TACircuitRemap analog;
    TDCircuitRemap digital;
    std::uint8_t autoPlace = 0;
    ASSERT_TRUE(TextToConfigQPB(source, autoPlace, false, analog, digital, *vars, *config));
    EXPECT_EQ(get("s.bin"), bytesOf(*config));
    EXPECT_EQ(get("c.bin"), bytesOf(*vars));

    r = run({"to-text", "--edition", "qpb", "--version", "V4.1.0", "--pcb", "C", "--settings", path("s.bin"),
             "--companion", path("c.bin"), "-o", path("out.ndrx")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(get("out.ndrx"),
              ConfigQPBToText(QStringLiteral("V4.1.0"), QLatin1Char('C'), *config, false, *vars).toUtf8());

    r = run({"to-text", "--edition", "qpb", "--version", "V4.1.0", "--pcb", "C", "--only-configured",
             "--settings", path("s.bin"), "--companion", path("c.bin")});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("#version=V4.1.0QPBC\r\n#settings\r\n")));
}

// to-text still writes the text, but says on stderr what it cannot carry: leaving logic out fails
// the command (a backup without the logic must not pass), a circuit value without a text form warns.
TEST_F(ConfigCli, ToTextWarnsAboutWhatTheTextCannotCarry) {
    auto config = std::make_unique<TNodarixQPBConfig>();
    auto vars = std::make_unique<TNodarixQPBVars>();
    ClearRecord(*config);
    ClearRecord(*vars);
    config->CellType[0] = static_cast<std::uint8_t>(kindNamed(QLatin1String("BUF")).code(Numbering::QPB));
    config->Set_Macro[0].InCircuits[0] = 5;
    config->D_CirParam[5] = 0x04;
    put("s.bin", bytesOf(*config));
    put("c.bin", bytesOf(*vars));
    auto toText = [&](const char* version) {
        return run({"to-text", "--edition", "qpb", "--version", version, "--pcb", "C", "--settings",
                    path("s.bin"), "--companion", path("c.bin"), "-o", path("out.ndrx")});
    };

    CliRun r = toText("V4.0.9");
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_EQ(r.err,
              QStringLiteral("warning: Logika nie trafi do tekstu: dla wersji \"V4.0.9\" i płyty \"C\" "
                             "brak numeracji makr QPB (komórki z makrami: 1).\n"));
    EXPECT_TRUE(get("out.ndrx").startsWith("#version=V4.0.9QPBC\r\n"));

    r = toText("V4.1.0");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err,
              QStringLiteral("warning: Obwód cyfrowy 05: logiki o wartości 4 nie da się zapisać w tekście; "
                             "po odczycie będzie OR.\n"));
    EXPECT_TRUE(get("out.ndrx").contains("\tM00:BUF*8-1(I \"d05\")[O]\r\n"));
}

TEST_F(ConfigCli, LfAndMixedLineEndsAndAByteOrderMarkReadLikeCrLf) {
    const QByteArray crlf = "#settings\r\n\tip_0=10.0.0.9\r\n#text\r\n\ttext_00=a\rb\r\n";
    put("crlf.ndrx", crlf);
    put("lf.ndrx", "\xEF\xBB\xBF#settings\n\tip_0=10.0.0.9\r\n#text\n\ttext_00=a\rb\n");
    QByteArray utf16 = "\xFF\xFE";
    const QString text = QString::fromLatin1(crlf);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    put("utf16.ndrx", utf16);
    for (const char* name : {"crlf.ndrx", "lf.ndrx", "utf16.ndrx"}) {
        const QByteArray out = QByteArray(name) + ".bin";
        const CliRun r = run({"from-text", "--edition", "qpa", path(name), "--settings-out",
                              path(out.constData()), "--companion-out", path("t.bin")});
        ASSERT_EQ(r.exitCode, 0) << name << ": " << r.out.toStdString() << r.err.toStdString();
        EXPECT_EQ(static_cast<unsigned char>(get(out.constData()).at(0)), 10) << name;
        // A lone CR is a character of the field, not a line end.
        EXPECT_EQ(get("t.bin").left(4), QByteArray("a\rb\0", 4)) << name;
    }
}

struct FailCase {
    const char* name;
    const char* text;
    int line;
    const char* message;
};

class ConfigCliFailure : public ConfigCli, public ::testing::WithParamInterface<FailCase> {};

TEST_P(ConfigCliFailure, ReportsTheMessageAndTheLineNumberOfTheInput) {
    const auto& c = GetParam();
    put("bad.ndrx", c.text);
    const CliRun r = run({"check", "--edition", "qpa", path("bad.ndrx")});
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_EQ(r.out, QString::fromUtf8(c.message) + "\n");
    EXPECT_EQ(r.err,
              path("bad.ndrx") + ":" + QString::number(c.line) + ": " + QString::fromUtf8(c.message) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    ConfigCli, ConfigCliFailure,
    ::testing::Values(
        FailCase{"settings",
                 "#version=V4.1.0QPAC\n#settings\n\tip_0=1.2.3.4\n\tip_5=10.0.0.1\n\tip_1=1.1.1.1\n", 4,
                 "Błąd konfiguracji: nieznane ustawienie \"ip_5=10.0.0.1\"."},
        FailCase{"logic", "#logic\r\n\tM00:RELAY*4-1(I \"d01\")\r\n\r\n", 3,
                 "Błąd konfiguracji: nieznane ustawienie \"\"."},
        FailCase{"circuit_last_line_without_end", "#dcircuit\n\tdcirc_00=\"x\"", 2,
                 "Błąd konfiguracji: numer obwodu cyfrowego poza zakresem nodarix-a \"dcirc_00=\"x\"\"."},
        FailCase{"empty_file", "", 1, "Błąd konfiguracji: brak ustawień \"\"."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfigCli, AFailedReadWritesImagesOnlyWhenAsked) {
    put("bad.ndrx", "#settings\n\tip_0=10.0.0.1\n\tbad\n");
    CliRun r = run({"from-text", "--edition", "qpa", path("bad.ndrx"), "--settings-out", path("s.bin")});
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_FALSE(QFile::exists(path("s.bin")));
    r = run({"from-text", "--edition", "qpa", path("bad.ndrx"), "--settings-out", path("s.bin"),
             "--write-partial"});
    EXPECT_EQ(r.exitCode, 6);
    const QByteArray partial = get("s.bin");
    ASSERT_EQ(partial.size(), 8192);
    EXPECT_EQ(static_cast<unsigned char>(partial.at(0)), 10) << "the lines before the failing one";
}

TEST_F(ConfigCli, KeepCurrentAddsTheTextToTheGivenImages) {
    put("base.ndrx",
        "#settings\n\tip_0=10.0.0.1\n#logic\n\tM03:PORTN*8-1(I \"d07\")[O \"d08\"]\n"
        "#dcircuit\n\tdcirc_07=\"Door\" 'OR'\n\tdcirc_08=\"Light\" 'OR'\n#text\n\ttext_00=first\n");
    ASSERT_EQ(run({"from-text", "--edition", "qpa", path("base.ndrx"), "--settings-out", path("s.bin"),
                   "--companion-out", path("c.bin")})
                  .exitCode,
              0);
    put("add.ndrx", "#settings\n\tip_0=99.0.0.1\n#logic\n\tM01:AND2*4-1(I1 \"d10\",I2 \"d11\")[O \"d12\",O]\n"
                    "#dcircuit\n\tdcirc_10=\"Added\" 'AND'\n#text\n\ttext_01=second\n");
    const CliRun r = run({"from-text", "--edition", "qpa", "--auto-place", "--keep-current", "--settings",
                          path("s.bin"), "--companion", path("c.bin"), path("add.ndrx"), "--settings-out",
                          path("s2.bin"), "--companion-out", path("c2.bin")});
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    const QByteArray s2 = get("s2.bin");
    ASSERT_EQ(s2.size(), 8192);
    auto config = std::make_unique<TNodarixQPAConfig>();
    std::memcpy(config.get(), s2.constData(), sizeof *config);
    EXPECT_EQ(config->IP[0][0], 10) << "settings of the added text are passed over";
    // The base circuits were renumbered 1 and 2; the added text does not name them again.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(config->D_CirName[1]), 8), "temp_D01");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(config->D_CirName[3]), 5), "Added")
        << "the added logic's first circuit takes the next free number";
    EXPECT_EQ(config->CellType[3], 2) << "the base cell keeps its number";
    EXPECT_EQ(config->CellType[0], 12) << "the added AND2 goes to the lowest empty cell";
    EXPECT_EQ(get("c2.bin").mid(256, 6), QByteArray("second"));
    EXPECT_EQ(get("c2.bin").left(5), QByteArray("first"));

    // Numbering the given images through a text without their logic would drop it: refused.
    const CliRun lossy =
        run({"from-text", "--edition", "qpa", "--keep-current", "--pcb", "X", "--settings", path("s.bin"),
             "--companion", path("c.bin"), path("add.ndrx"), "--settings-out", path("s3.bin")});
    EXPECT_EQ(lossy.exitCode, 6);
    EXPECT_TRUE(lossy.err.contains(QStringLiteral("Logika nie trafi do tekstu"))) << lossy.err.toStdString();
    EXPECT_TRUE(get("s3.bin").isEmpty());
}

struct UsageCase {
    const char* name;
    std::vector<const char*> args;
};

class ConfigCliUsage : public ConfigCli, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(ConfigCliUsage, RefusesWithExitStatus2) {
    put("small.bin", QByteArray(100, '\0'));
    put("c.bin", QByteArray(32768, '\0'));
    put("text.ndrx", "#text\r\n");
    put("broken-utf16.ndrx", QByteArray("\xFF\xFE\x23", 3)); // a UTF-16 mark, then half a character
    QStringList args;
    for (const char* a : GetParam().args)
        args << (QByteArray(a).endsWith(".bin") || QByteArray(a).endsWith(".ndrx") ? path(a)
                                                                                   : QString::fromUtf8(a));
    const CliRun r = run(args);
    EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
    EXPECT_FALSE(r.err.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    ConfigCli, ConfigCliUsage,
    ::testing::Values(UsageCase{"no_subcommand", {}}, UsageCase{"unknown_subcommand", {"convert"}},
                      UsageCase{"no_edition", {"check", "text.ndrx"}},
                      UsageCase{"bad_edition", {"check", "--edition", "qpc", "text.ndrx"}},
                      UsageCase{"unknown_option", {"check", "--edition", "qpa", "--fast", "text.ndrx"}},
                      UsageCase{"no_input", {"check", "--edition", "qpa"}},
                      UsageCase{"keep_current_without_images",
                                {"from-text", "--edition", "qpa", "--keep-current", "text.ndrx"}},
                      UsageCase{"images_without_keep_current",
                                {"from-text", "--edition", "qpa", "--settings", "small.bin", "text.ndrx"}},
                      UsageCase{"wrong_image_size",
                                {"to-text", "--edition", "qpa", "--version", "V4.1.0", "--pcb", "C",
                                 "--settings", "small.bin", "--companion", "c.bin"}},
                      UsageCase{"to_text_without_pcb",
                                {"to-text", "--edition", "qpa", "--version", "V4.1.0", "--settings",
                                 "small.bin", "--companion", "c.bin"}},
                      UsageCase{"not_its_marked_encoding", {"check", "--edition", "qpa", "broken-utf16.ndrx"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfigCli, MissingInputFileIsALocalFailure) {
    EXPECT_EQ(run({"check", "--edition", "qpb", path("none.ndrx")}).exitCode, 1);
}

} // namespace
