// nodarix-cli backup and restore against the simulator: the window's read and write chains from
// the command line, their files, exit statuses, and that refused input sends nothing.
#include "config/ConfigText.h"
#include "tests/config/populated_config.h"
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/CliProcess.h"
#include "tests/support/FakeController.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<QCoreApplication>);

QStringList linkTo(const QString& host, quint16 port) {
    return {QStringLiteral("--host"), host, QStringLiteral("--port"), QString::number(port), QStringLiteral("--timeout"),
            QStringLiteral("2000")};
}

template <class Record> QByteArray bytesOf(const Record& r) {
    return QByteArray(reinterpret_cast<const char*>(&r), static_cast<qsizetype>(sizeof r));
}

// The images of the populated configuration text of an edition, and the simulator's names for them.
struct Populated {
    bool qpb;
    QByteArray settings, companion;
    explicit Populated(bool qpb) : qpb(qpb) {
        auto qpaConfig = std::make_unique<TNodarixQPAConfig>();
        auto qpaText = std::make_unique<TNodarixQPAText>();
        auto qpbConfig = std::make_unique<TNodarixQPBConfig>();
        auto qpbVars = std::make_unique<TNodarixQPBVars>();
        TACircuitRemap analog{};
        TDCircuitRemap digital{};
        std::uint8_t autoPlace = 0;
        const QString text = testcfg::populatedText({.qpb = qpb});
        const bool ok = qpb ? TextToConfigQPB(text, autoPlace, false, analog, digital, *qpbVars, *qpbConfig)
                            : TextToConfigQPA(text, autoPlace, false, analog, digital, *qpaText, *qpaConfig);
        EXPECT_TRUE(ok);
        settings = qpb ? bytesOf(*qpbConfig) : bytesOf(*qpaConfig);
        companion = qpb ? bytesOf(*qpbVars) : bytesOf(*qpaText);
    }
    QString settingsKind() const { return qpb ? QStringLiteral("qpb-settings") : QStringLiteral("qpa-settings"); }
    QString companionKind() const { return qpb ? QStringLiteral("qpb-vars") : QStringLiteral("qpa-texts"); }
    QStringList seeds(const QTemporaryDir& dir) const {
        return {QStringLiteral("--seed"), settingsKind() + "=" + put(dir, QStringLiteral("seed-s.bin"), settings),
                QStringLiteral("--seed"), companionKind() + "=" + put(dir, QStringLiteral("seed-c.bin"), companion)};
    }
    // What the simulator's state file holds now: {settings, companion}.
    std::pair<QByteArray, QByteArray> exported(const QTemporaryDir& dir, const QString& state) const {
        const QString s = dir.filePath(QStringLiteral("export-s.bin")), c = dir.filePath(QStringLiteral("export-c.bin"));
        const auto run = SimProcess::run({"--state", state, "--export", settingsKind() + "=" + s, "--export",
                                          companionKind() + "=" + c});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return {readFile(s), readFile(c)};
    }
};

struct EditionCase {
    const char* name;
    bool qpb;
};

class SettingsCli : public ::testing::TestWithParam<EditionCase> {
protected:
    QTemporaryDir dir;
};

const auto kEditionName = [](const auto& info) { return std::string(info.param.name); };

} // namespace

TEST_P(SettingsCli, BackupWritesTheTextAndTheRawImagesAndRestoreVerifiesThem) {
    const Populated seed(GetParam().qpb);
    const QString state = dir.filePath(QStringLiteral("state"));
    QStringList simArguments{"--edition", seed.qpb ? "QPB" : "QPA", "--state", state};
    {
        SimProcess sim(simArguments + seed.seeds(dir));
        ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
        const QString text = dir.filePath(QStringLiteral("backup.ndrx"));
        const CliRun backup = RunCli(linkTo(sim.host(), sim.port()) +
                                     QStringList{"backup", "-o", text, "--images", dir.filePath(QStringLiteral("raw"))});
        ASSERT_EQ(backup.exitCode, 0) << backup.err.toStdString();
        EXPECT_EQ(backup.out, QStringLiteral("Konfiguracja OK.\n"));
        EXPECT_TRUE(backup.err.contains(seed.qpb ? QStringLiteral("Zmienne odczytane.") : QStringLiteral("Teksty odczytane.")))
            << backup.err.toStdString();
        const QByteArray bytes = readFile(text);
        EXPECT_TRUE(bytes.startsWith("#version=V4.1.3")) << bytes.left(40).toStdString();
        EXPECT_TRUE(bytes.endsWith("\r\n"));
        EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
        EXPECT_EQ(readFile(dir.filePath(QStringLiteral("raw/settings.bin"))), seed.settings);
        EXPECT_EQ(readFile(dir.filePath(seed.qpb ? QStringLiteral("raw/vars.bin") : QStringLiteral("raw/texts.bin"))),
                  seed.companion);
        ASSERT_EQ(sim.stop(), 0);
    }
    // Into a cleared controller, and read back byte for byte.
    QFile::remove(state);
    SimProcess empty(simArguments);
    ASSERT_TRUE(empty.started()) << empty.failure().toStdString();
    const CliRun restore = RunCli(linkTo(empty.host(), empty.port()) +
                                  QStringList{"restore", dir.filePath(QStringLiteral("backup.ndrx")), "--verify"});
    EXPECT_EQ(restore.exitCode, 0) << restore.err.toStdString();
    EXPECT_EQ(restore.out, QStringLiteral("Konfiguracja Ok.\n"));
    ASSERT_EQ(empty.stop(), 0);
    EXPECT_EQ(seed.exported(dir, state), std::make_pair(seed.settings, seed.companion));
}

// The raw images of a backup go back byte for byte, whatever a text could carry of them; a folder
// with images of the wrong size writes nothing.
TEST_P(SettingsCli, RestoreOfRawImagesIsByteForByte) {
    const Populated seed(GetParam().qpb);
    const QString raw = dir.filePath(QStringLiteral("raw"));
    ASSERT_TRUE(QDir().mkpath(raw));
    put(dir, QStringLiteral("raw/settings.bin"), seed.settings);
    put(dir, seed.qpb ? QStringLiteral("raw/vars.bin") : QStringLiteral("raw/texts.bin"), seed.companion);
    const QString state = dir.filePath(QStringLiteral("state"));
    {
        SimProcess sim({"--edition", seed.qpb ? "QPB" : "QPA", "--state", state});
        ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
        const CliRun restore =
            RunCli(linkTo(sim.host(), sim.port()) + QStringList{"restore", "--images", raw, "--verify"});
        EXPECT_EQ(restore.exitCode, 0) << restore.err.toStdString();
        ASSERT_EQ(sim.stop(), 0);
    }
    EXPECT_EQ(seed.exported(dir, state), std::make_pair(seed.settings, seed.companion));

    put(dir, QStringLiteral("raw/settings.bin"), seed.settings.left(100));
    const QString untouched = dir.filePath(QStringLiteral("untouched"));
    {
        SimProcess sim({"--edition", seed.qpb ? "QPB" : "QPA", "--state", untouched});
        ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
        const CliRun refused = RunCli(linkTo(sim.host(), sim.port()) + QStringList{"restore", "--images", raw});
        EXPECT_EQ(refused.exitCode, 2) << refused.err.toStdString();
        EXPECT_TRUE(refused.err.contains(QStringLiteral("exactly"))) << refused.err.toStdString();
        ASSERT_EQ(sim.stop(), 0);
    }
    // Neither image went out, not even the one of the right size.
    const auto [settings, companion] = seed.exported(dir, untouched);
    EXPECT_NE(settings, seed.settings);
    EXPECT_NE(companion, seed.companion);
}

// A text compared with a controller lists what a restore of it would change there.
TEST_P(SettingsCli, DiffWithTheControllerShowsWhatARestoreWouldChange) {
    const Populated seed(GetParam().qpb);
    SimProcess sim(QStringList{"--edition", seed.qpb ? "QPB" : "QPA"} + seed.seeds(dir));
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    const QString text = dir.filePath(QStringLiteral("backup.ndrx"));
    ASSERT_EQ(RunCli(linkTo(sim.host(), sim.port()) + QStringList{"backup", "-o", text}).exitCode, 0);

    const CliRun same = RunCli(linkTo(sim.host(), sim.port()) + QStringList{"config", "diff", text});
    EXPECT_EQ(same.exitCode, 0) << same.out.toStdString() << same.err.toStdString();
    EXPECT_EQ(same.out, QString());

    QByteArray edited = readFile(text);
    const qsizetype at = edited.indexOf("\tnetname=");
    ASSERT_GE(at, 0);
    edited.replace(at, edited.indexOf("\r\n", at) - at, "\tnetname=Garaz");
    const QString changed = put(dir, QStringLiteral("changed.ndrx"), edited);
    const CliRun differs = RunCli(linkTo(sim.host(), sim.port()) + QStringList{"config", "diff", changed});
    EXPECT_EQ(differs.exitCode, 1) << differs.err.toStdString();
    EXPECT_TRUE(differs.out.startsWith(QStringLiteral("setting netname: "))) << differs.out.toStdString();
    EXPECT_TRUE(differs.out.contains(QStringLiteral("→ \"Garaz\""))) << differs.out.toStdString();
    EXPECT_EQ(differs.out.count(QLatin1Char('\n')), 1) << differs.out.toStdString();
}

// A controller that cannot be read ends the diff with the link's exit status.
TEST(SettingsCliDiff, SilentControllerEndsWithTheLinkStatus) {
    QTemporaryDir dir;
    FakeController silent([](const QByteArray&) { return FakeController::Reply{}; });
    const QString text = put(dir, QStringLiteral("a.ndrx"), "#version=V4.1.3QPBD\r\n#settings\r\n");
    const CliRun run = RunCli({"--host", "127.0.0.1", "--port", QString::number(silent.port()), "--timeout", "300",
                               "config", "diff", text});
    EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Editions, SettingsCli,
                         ::testing::Values(EditionCase{"Qpa", false}, EditionCase{"Qpb", true}), kEditionName);

TEST(SettingsCliBackup, ATextThatCannotCarryEverythingWarnsAndExits6) {
    QTemporaryDir dir;
    const Populated seed(false);
    SimProcess sim(QStringList{"--edition", "QPA", "--pcb", "A"} + seed.seeds(dir));
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    const QString text = dir.filePath(QStringLiteral("backup.ndrx"));
    const CliRun r = RunCli(linkTo(sim.host(), sim.port()) + QStringList{"backup", "-o", text});
    EXPECT_EQ(r.exitCode, 6) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("warning: Logika nie trafi do tekstu"))) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(text));
}

TEST(SettingsCliBackup, SilentControllerWritesNothing) {
    QTemporaryDir dir;
    SimProcess sim({"--fault", "silent"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    const QString text = dir.filePath(QStringLiteral("backup.ndrx"));
    const CliRun r = RunCli(QStringList{"--host", sim.host(), "--port", QString::number(sim.port()), "--timeout", "300",
                                        "backup", "-o", text});
    EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Błąd: nodarix nie odpowiada.")));
    EXPECT_FALSE(QFile::exists(text));
}

TEST(SettingsCliRestore, ARejectedTextExits6AndSendsNothing) {
    QTemporaryDir dir;
    const Populated seed(true);
    const QString state = dir.filePath(QStringLiteral("state"));
    for (const bool append : {false, true}) {
        SimProcess sim(QStringList{"--edition", "QPB", "--state", state} + seed.seeds(dir));
        ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
        QStringList command{"restore", put(dir, QStringLiteral("bad.ndrx"), "#version=V4.1.3QPBD\n#settings\n\tip_0=1.2.3.4\n#numer\n\tnumer_00=x\n")};
        if (append)
            command << QStringLiteral("--append");
        const CliRun r = RunCli(linkTo(sim.host(), sim.port()) + command);
        EXPECT_EQ(r.exitCode, 6) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("bad.ndrx:5: Błąd konfiguracji"))) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral("Zapis konfiguracji")));
        ASSERT_EQ(sim.stop(), 0);
        EXPECT_EQ(seed.exported(dir, state), std::make_pair(seed.settings, seed.companion));
    }
}

// A controller that does not keep one byte of its settings: verify names the image and the offset.
TEST(SettingsCliRestore, VerifyMismatchExits8) {
    FakeMemory memory;
    FakeController controller([&memory](const QByteArray& request) {
        FakeController::Reply reply = memory.answer(request);
        memory.qpbSettings[300] = '\x77';
        return reply;
    });
    QTemporaryDir dir;
    auto cleared = std::make_unique<TNodarixQPBConfig>();
    auto vars = std::make_unique<TNodarixQPBVars>();
    ClearRecord(*cleared);
    ClearRecord(*vars);
    const QString text = put(dir, QStringLiteral("cleared.ndrx"),
                             ConfigQPBToText(QStringLiteral("V4.1.3"), QLatin1Char('D'), *cleared, true, *vars).toUtf8());
    const CliRun r = RunCli(linkTo(QStringLiteral("127.0.0.1"), controller.port()) + QStringList{"restore", text, "--verify"});
    EXPECT_EQ(r.exitCode, 8) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("settings image differs from what was written at offset 300 (0x12c)")))
        << r.err.toStdString();
}

struct RefusedCase {
    const char* name;
    QStringList command; // BROKEN stands for a file that breaks its byte-order mark's encoding
    int exitCode;
};

class SettingsCliRefused : public ::testing::TestWithParam<RefusedCase> {};

// Refused before anything is sent: the address points at a port nothing listens on.
TEST_P(SettingsCliRefused, BeforeAnythingIsSent) {
    QTemporaryDir dir;
    QStringList command = GetParam().command;
    command.replaceInStrings(QStringLiteral("BROKEN"), put(dir, QStringLiteral("b.ndrx"), QByteArray("\xFF\xFE\x23", 3)));
    command.replaceInStrings(QStringLiteral("MISSING"), dir.filePath(QStringLiteral("missing.ndrx")));
    const CliRun r = RunCli(linkTo(QStringLiteral("127.0.0.1"), 9) + command);
    EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("Odczyt numeru wersji"))) << r.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsCliRefused,
    ::testing::Values(RefusedCase{"BackupWithoutOutput", {"backup"}, 2},
                      RefusedCase{"BackupUnknownOption", {"backup", "-o", "x.ndrx", "--fast"}, 2},
                      RefusedCase{"RestoreWithoutFile", {"restore"}, 2},
                      RefusedCase{"RestoreTwoFiles", {"restore", "a.ndrx", "b.ndrx"}, 2},
                      RefusedCase{"RestoreBrokenEncoding", {"restore", "BROKEN"}, 2},
                      RefusedCase{"RestoreMissingFile", {"restore", "MISSING"}, 1}),
    kEditionName);
