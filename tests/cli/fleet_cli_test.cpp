// nodarix-cli backup --hosts: several simulators backed up at once, one failing without stopping
// the others; the files, the per-controller lines, the summary and the exit status; hosts files
// that are refused before anything is sent.
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/CliProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<QCoreApplication>);

QString where(const SimProcess& sim) { return QStringLiteral("%1:%2").arg(sim.host()).arg(sim.port()); }

// Runs backup --hosts over a list written from these lines, with a short time-out.
CliRun backupFleet(const QTemporaryDir& dir, const QStringList& lines, const QString& out) {
    const QString hosts = put(dir, QStringLiteral("hosts"), lines.join(QLatin1Char('\n')).toUtf8());
    return RunCli({"--timeout", "800", "backup", "--hosts", hosts, "-o", out});
}

// The stdout line of a controller: ADDRESS:PORT, SERIAL, EXIT, TEXT.
QStringList lineOf(const CliRun& run, const QString& controller) {
    for (const QString& line : run.out.split(QLatin1Char('\n')))
        if (line.startsWith(controller + QLatin1Char('\t')))
            return line.split(QLatin1Char('\t'));
    return {};
}

TEST(FleetCli, BacksUpEveryControllerAndAFailingOneStopsNoOther) {
    QTemporaryDir dir;
    SimProcess qpa({"--serial", "FLEET-A1"});
    SimProcess qpb({"--edition", "QPB", "--serial", "FLEET/B2"});
    SimProcess silent({"--fault", "silent"});
    SimProcess refusing({"--fault", "wrong-address,fault-after=1"});
    for (const SimProcess* sim : {&qpa, &qpb, &silent, &refusing})
        ASSERT_TRUE(sim->started()) << sim->failure().toStdString();
    const QString out = dir.filePath(QStringLiteral("fleet"));
    const CliRun r = backupFleet(dir,
                                 {"# the test's controllers", where(silent), "", where(qpa), "  " + where(refusing),
                                  where(qpb)},
                                 out);

    // The worst single status: the refusal (5) beats the silent controller (3).
    EXPECT_EQ(r.exitCode, 5) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(lineOf(r, where(qpa)), QStringList({where(qpa), "FLEET-A1", "0", "Konfiguracja OK."}));
    // A serial is a file name only after every character that could leave the folder is replaced.
    EXPECT_EQ(lineOf(r, where(qpb)), QStringList({where(qpb), "FLEET_B2", "0", "Konfiguracja OK."}));
    EXPECT_EQ(lineOf(r, where(silent)), QStringList({where(silent), "-", "3", "Błąd: nodarix nie odpowiada."}));
    const QStringList refused = lineOf(r, where(refusing));
    ASSERT_EQ(refused.size(), 4) << r.out.toStdString();
    EXPECT_EQ(refused.at(2), "5");
    EXPECT_TRUE(refused.at(3).startsWith(QStringLiteral("Błąd"))) << refused.at(3).toStdString();
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("backed up 2 of 4 controllers; failed: ") + where(silent) +
                               " (exit 3), " + where(refusing) + " (exit 5)\n") ||
                r.out.endsWith(QStringLiteral("backed up 2 of 4 controllers; failed: ") + where(refusing) +
                               " (exit 5), " + where(silent) + " (exit 3)\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.err.contains(where(qpb) + "  Zmienne odczytane.")) << r.err.toStdString();

    const QDir fleet(out);
    EXPECT_EQ(fleet.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
              QStringList({"FLEET-A1", "FLEET-A1.ndrx", "FLEET_B2", "FLEET_B2.ndrx"}));
    for (const char* text : {"FLEET-A1.ndrx", "FLEET_B2.ndrx"}) {
        const QByteArray bytes = readFile(fleet.filePath(QLatin1String(text)));
        EXPECT_TRUE(bytes.startsWith("#version=V4.1.3")) << text;
        EXPECT_TRUE(bytes.endsWith("\r\n")) << text;
    }
    // The raw images as the single backup writes them with --images: QPA settings and texts,
    // QPB settings and variables, at the sizes the controller holds.
    EXPECT_EQ(QDir(fleet.filePath("FLEET-A1")).entryList(QDir::Files, QDir::Name), QStringList({"settings.bin", "texts.bin"}));
    EXPECT_EQ(QDir(fleet.filePath("FLEET_B2")).entryList(QDir::Files, QDir::Name), QStringList({"settings.bin", "vars.bin"}));
    EXPECT_EQ(readFile(fleet.filePath("FLEET_B2/settings.bin")).size(), 65536);
    EXPECT_EQ(readFile(fleet.filePath("FLEET_B2/vars.bin")).size(), 16640);
}

TEST(FleetCli, TwoControllersWithOneSerialKeepBothBackupsAndAllSucceeding) {
    QTemporaryDir dir;
    SimProcess first({"--serial", "SAME"});
    SimProcess second({"--serial", "SAME"});
    ASSERT_TRUE(first.started() && second.started());
    const QString out = dir.filePath(QStringLiteral("fleet"));
    const CliRun r = backupFleet(dir, {where(first), where(second)}, out);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("backed up 2 of 2 controllers\n"))) << r.out.toStdString();
    EXPECT_TRUE(QFile::exists(out + "/SAME.ndrx"));
    EXPECT_TRUE(QFile::exists(out + "/SAME-2.ndrx"));
    EXPECT_TRUE(QFile::exists(out + "/SAME-2/texts.bin"));
}

struct RefusedCase {
    const char* name;
    const char* line; // after a good line naming the simulator
    const char* why;
};

class FleetCliRefusedHosts : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(FleetCliRefusedHosts, ExitsTwoBeforeAnythingIsSent) {
    QTemporaryDir dir;
    SimProcess sim({"--log"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    const QString out = dir.filePath(QStringLiteral("fleet"));
    const QString line = QString::fromUtf8(GetParam().line).replace(QStringLiteral("%PORT%"), QString::number(sim.port()));
    const CliRun r = backupFleet(dir, {where(sim), line}, out);
    EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(GetParam().why))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_FALSE(QFile::exists(out));
    ASSERT_EQ(sim.stop(), 0);
    EXPECT_FALSE(sim.log().contains("[conn")) << sim.log().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FleetCliRefusedHosts,
    ::testing::Values(RefusedCase{"PortZero", "127.0.0.1:0", "hosts:2: not ADDRESS[:PORT]"},
                      RefusedCase{"PortTooLarge", "127.0.0.1:65536", "not ADDRESS[:PORT]"},
                      RefusedCase{"PortNotANumber", "127.0.0.1:+80", "not ADDRESS[:PORT]"},
                      RefusedCase{"EmptyPort", "127.0.0.1:", "not ADDRESS[:PORT]"},
                      RefusedCase{"ShortAddress", "127.0.1", "not ADDRESS[:PORT]"},
                      RefusedCase{"Spaces", "127.0.0.1 7080", "not ADDRESS[:PORT]"},
                      RefusedCase{"PathInName", "../etc", "not ADDRESS[:PORT]"},
                      RefusedCase{"ListedTwice", "127.0.0.1:%PORT%", "listed twice"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FleetCli, OptionErrorsAreRefused) {
    QTemporaryDir dir;
    const QString hosts = put(dir, QStringLiteral("hosts"), "127.0.0.1:1\n");
    const QString empty = put(dir, QStringLiteral("empty"), "# nobody\n\n");
    const QString out = dir.filePath(QStringLiteral("fleet"));
    for (const QStringList& args :
         {QStringList{"--hosts", hosts}, QStringList{"--hosts", hosts, "--all", "-o", out},
          QStringList{"--hosts", hosts, "--wait", "100", "-o", out}, QStringList{"--all", "--wait", "0", "-o", out},
          QStringList{"--hosts", hosts, "-o", out, "--images", out}, QStringList{"--hosts", empty, "-o", out}}) {
        const CliRun r = RunCli(QStringList{"backup"} + args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << args.join(' ').toStdString();
    }
    const CliRun missing = RunCli({"backup", "--hosts", dir.filePath("no-such-file"), "-o", out});
    EXPECT_EQ(missing.exitCode, 1) << missing.err.toStdString();
}

} // namespace
