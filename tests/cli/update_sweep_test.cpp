// update and resources upload interrupted: each simulator fault injected at the first, a middle and the
// last exchange of every step of the update chains (QPA with and without the conversion, QPB) and of
// the resources upload (QPA, QPB), plus a restart that never comes back. Each run must end with the
// link's failure text and the fault's exit status, never a success, and the simulator's log must show
// that it stopped on the faulted exchange; from the zeroing on, the backup named on stderr must hold the
// configuration as read, and (once per step, after the silence in its middle) bring it back byte for
// byte through restore --images --verify.
#include "config/ConfigBackup.h"
#include "tests/support/CliProcess.h"
#include "tests/support/DemoQpaImages.h"
#include "tests/support/SettingsSweep.h"
#include "tests/support/SimProcess.h"
#include "tests/support/UpdateSweep.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace sweep;

QStringList linkTo(const SimProcess& sim) {
    return {"--host", sim.host(), "--port", QString::number(sim.port()), "--timeout", "400"};
}

class InterruptionSweep : public ::testing::TestWithParam<SweepRun> {
protected:
    // The controller: seeded with the demonstration configuration (QPA), its memory kept in a state file.
    QStringList simArguments(const SweepRun& r) {
        QStringList args{"--log", "--jumper", "--version-text", "V4.0.1", "--edition", isQpb(r.chain) ? "QPB" : "QPA",
                         "--state", state, "--seed", "qpa-settings=" + put(dir, "s.bin", demo.settings),
                         "--seed", "qpa-texts=" + put(dir, "t.bin", demo.texts)};
        return args << "--restart-ms" << (r.exchange < 0 ? "600000" : "50") << faultArguments(r);
    }
    QStringList command(Chain chain) const {
        switch (chain) {
        case Chain::UpdateQpa:
            return {"update", "--restart-wait", "500", "--backup-dir", dir.path()};
        case Chain::UpdateQpaNoConvert:
            return {"update", "--no-convert", "--restart-wait", "500", "--backup-dir", dir.path()};
        case Chain::UpdateQpb:
            return {"update", "--restart-wait", "500"};
        default:
            return {"resources", "upload"};
        }
    }
    QByteArray exported(const char* kind) {
        const QString out = dir.filePath(QStringLiteral("export.bin"));
        QFile::remove(out);
        const auto run = SimProcess::run({"--state", state, "--export", QLatin1String(kind) + QLatin1Char('=') + out});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return readFile(out);
    }

    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("sim.state"));
    DemoQpaImages demo;
};

TEST_P(InterruptionSweep, EndsWithTheFailureNeverASuccessAndKeepsTheConfiguration) {
    const SweepRun& r = GetParam();
    auto sim = std::make_unique<SimProcess>(simArguments(r));
    ASSERT_TRUE(sim->started()) << sim->failure().toStdString();
    const CliRun run = RunCli(linkTo(*sim) + command(r.chain));
    sim->stop(); // its log is complete
    expectEndedOn(sim->log(), r.landing, r.exchange < 0 ? "restarting" : "fault");
    const std::string err = run.err.toStdString();
    expectExitOf(r.fault, run.exitCode, err);
    EXPECT_FALSE(run.err.contains(QStringLiteral("Aktualizacja zakończona.")) ||
                 run.err.contains(QStringLiteral("Zasoby załadowane OK.")))
        << err;

    // The last status line: the failure text, naming the backup once the configuration was cleared;
    // the backup folder then follows once more on a line of its own.
    static const QRegularExpression backupLine(QStringLiteral("^Kopia konfiguracji: (.+)$"),
                                               QRegularExpression::MultilineOption);
    const QRegularExpressionMatch named = backupLine.match(run.err);
    ASSERT_EQ(named.hasMatch(), r.cleared) << err;
    const QStringList lines = run.err.trimmed().split(QLatin1Char('\n'));
    const QString statusLine = lines.value(lines.size() - (r.cleared ? 2 : 1));
    recordOutcome(run.exitCode, statusLine);
    QString expected = linkFailureText(r.fault);
    if (!r.cleared) {
        EXPECT_EQ(statusLine, expected) << err;
        return;
    }
    expected += QStringLiteral(" Kopia konfiguracji: ") + named.captured(1);
    EXPECT_EQ(statusLine, expected) << err;
    EXPECT_EQ(lines.last(), named.captured(0)) << err;

    // The backup holds the configuration as it was read, byte for byte.
    const QString folder = named.captured(1);
    EXPECT_TRUE(readFile(QDir(folder).filePath(QLatin1String(kBackupSettingsFile))) == demo.settings) << err;
    EXPECT_TRUE(readFile(QDir(folder).filePath(QLatin1String(kBackupTextsFile))) == demo.texts) << err;
    if (!r.restores)
        return;

    // It puts the configuration back into the same controller, restarted, through restore --verify.
    sim = std::make_unique<SimProcess>(QStringList{"--jumper", "--state", state});
    ASSERT_TRUE(sim->started()) << sim->failure().toStdString();
    const CliRun restore = RunCli(linkTo(*sim) + QStringList{"restore", "--images", folder, "--verify"});
    EXPECT_EQ(restore.exitCode, 0) << restore.err.toStdString();
    sim->stop();
    EXPECT_TRUE(exported("qpa-settings") == demo.settings);
    EXPECT_TRUE(exported("qpa-texts") == demo.texts);
}

INSTANTIATE_TEST_SUITE_P(UpdateQpa, InterruptionSweep, ::testing::ValuesIn(everyPositionRuns(Chain::UpdateQpa)), runName);
INSTANTIATE_TEST_SUITE_P(UpdateQpaNoConvert, InterruptionSweep,
                         ::testing::ValuesIn(everyPositionRuns(Chain::UpdateQpaNoConvert)), runName);
INSTANTIATE_TEST_SUITE_P(UpdateQpb, InterruptionSweep, ::testing::ValuesIn(everyPositionRuns(Chain::UpdateQpb)), runName);
INSTANTIATE_TEST_SUITE_P(ResourcesQpa, InterruptionSweep, ::testing::ValuesIn(everyPositionRuns(Chain::ResourcesQpa)), runName);
INSTANTIATE_TEST_SUITE_P(ResourcesQpb, InterruptionSweep, ::testing::ValuesIn(everyPositionRuns(Chain::ResourcesQpb)), runName);

} // namespace
