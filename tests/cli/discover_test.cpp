// "nodarix-cli discover": usage, a scan nobody answers, and a real scan between two network
// namespaces joined by a veth pair, with the simulator on the far side; backup --all across the same pair.
#include "tests/support/CliProcess.h"
#include "tests/support/SimProcess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

TEST(DiscoverCli, UsageErrorsSendNothing) {
    for (const QStringList& args : {QStringList{"--wait", "abc"}, QStringList{"--wait", "0"},
                                    QStringList{"--wait"}, QStringList{"--everywhere"}}) {
        const CliRun r = RunCli(QStringList{"discover"} + args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

// In a network namespace of its own: nothing answers, and no other test's datagram can arrive.
TEST(DiscoverCli, NoAnswerExitsThree) {
    const QString cli = qEnvironmentVariable("NODARIX_CLI");
    ASSERT_FALSE(cli.isEmpty()) << "NODARIX_CLI must be set";
    QProcess run;
    run.start(QStringLiteral("unshare"),
              {"-n", "sh", "-c", "ip link set lo up || exit 77; \"$0\" discover --wait 300", cli});
    ASSERT_TRUE(run.waitForFinished(30000));
    const QByteArray err = run.readAllStandardError();
    if (run.exitCode() == 77 || (run.exitCode() == 1 && err.contains("unshare")))
        GTEST_SKIP() << "no network namespace of its own can be made here: " << err.trimmed().toStdString();
    EXPECT_EQ(run.exitCode(), 3) << err.toStdString();
    EXPECT_TRUE(run.readAllStandardOutput().isEmpty());
}

// scripts/discovery-pair runs, inside a fresh network namespace, the simulator in a second one joined
// to it by a veth pair, and the near side's commands here; it exits 77 where namespaces cannot be
// made. The near side runs the CLI's arguments given, or else the two scans.
const char kNearSide[] = R"SH(
if [ $# -gt 0 ]; then "$0" "$@"; echo "exit=$?"; exit 0; fi
"$0" discover --wait 1500; echo "exit=$?"
"$0" discover --raw --wait 1500; echo "exit=$?"
)SH";

// The script's run: its stdout, or why it was skipped.
struct NamespaceRun {
    QString skipped;
    QByteArray out;
    QByteArray err;
};

// Runs the script with the CLI's arguments (none: the two scans). Fatal failures end the test.
void runBetweenNamespaces(const QStringList& cliArguments, NamespaceRun& result) {
    for (const char* tool : {"unshare", "nsenter", "ip"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty() &&
            QStandardPaths::findExecutable(QLatin1String(tool), {"/usr/sbin", "/sbin"}).isEmpty()) {
            result.skipped = QStringLiteral("no %1 here (util-linux and iproute2 are needed)").arg(QLatin1String(tool));
            return;
        }
    const QString cli = qEnvironmentVariable("NODARIX_CLI");
    ASSERT_FALSE(cli.isEmpty() || SimProcess::executable().isEmpty()) << "NODARIX_CLI and NODARIX_SIM must be set";

    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), env.value(QStringLiteral("PATH")) + QStringLiteral(":/usr/sbin:/sbin"));
    run.setProcessEnvironment(env);
    run.start(QStringLiteral("unshare"),
              QStringList{"-n", QStringLiteral(NODARIX_SOURCE_DIR "/scripts/discovery-pair"), SimProcess::executable(),
                          "--port", "7081", "--name", "E2E-Salon", "--mac", "00-1A-2B-3C-4D-5E", "--", "sh", "-c",
                          QString::fromLatin1(kNearSide), cli} +
                  cliArguments);
    ASSERT_TRUE(run.waitForFinished(30000)) << "the namespace run did not end";
    result.out = run.readAllStandardOutput();
    result.err = run.readAllStandardError();
    if (run.exitStatus() == QProcess::NormalExit && run.exitCode() == 77)
        result.skipped = QStringLiteral("network namespaces cannot be made here: ") + QString::fromUtf8(result.err.trimmed());
    else if (run.exitCode() != 0 && result.out.isEmpty())
        result.skipped =
            QStringLiteral("network namespaces cannot be made here (not root?): ") + QString::fromUtf8(result.err.trimmed());
    else
        ASSERT_EQ(run.exitCode(), 0) << result.err.toStdString();
}

TEST(DiscoverBetweenNamespaces, ListsTheSimulatorOnTheFarSide) {
    NamespaceRun run;
    ASSERT_NO_FATAL_FAILURE(runBetweenNamespaces({}, run));
    if (!run.skipped.isEmpty())
        GTEST_SKIP() << run.skipped.toStdString();
    const QByteArray& out = run.out;
    const QByteArray& err = run.err;

    const QList<QByteArray> lines = out.split('\n');
    ASSERT_GE(lines.size(), 4) << out.toStdString();
    // The simulator listens on all addresses, so it advertises the one the request arrived on.
    EXPECT_EQ(lines.at(0), QByteArray("10.213.0.2\t7081\tE2E-Salon\t00-1A-2B-3C-4D-5E")) << out.toStdString();
    EXPECT_EQ(lines.at(1), QByteArray("exit=0")) << err.toStdString();
    EXPECT_EQ(lines.at(2).count(';'), 13);
    EXPECT_TRUE(lines.at(2).startsWith(QByteArray("V4.1.3;QPA1;QPA;00012345;PL;________;00-1A-2B-3C-4D-5E;"
                                                  "255.255.255.0;0.0.0.0;E2E-Salon;0;7081;10.213.0.2;")))
        << lines.at(2).toStdString();
    EXPECT_EQ(lines.at(3), QByteArray("exit=0"));
}

// backup --all finds the controller on the far side by discovery and backs it up into DIR/SERIAL.
TEST(DiscoverBetweenNamespaces, BackupAllBacksUpTheControllerItFinds) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("fleet"));
    NamespaceRun run;
    ASSERT_NO_FATAL_FAILURE(runBetweenNamespaces({"--timeout", "2000", "backup", "--all", "--wait", "1500", "-o", out}, run));
    if (!run.skipped.isEmpty())
        GTEST_SKIP() << run.skipped.toStdString();
    EXPECT_EQ(run.out, QByteArray("10.213.0.2:7081\t00012345\t0\tKonfiguracja OK.\nbacked up 1 of 1 controllers\nexit=0\n"))
        << run.err.toStdString();
    EXPECT_TRUE(QFile::exists(out + "/00012345.ndrx"));
    EXPECT_TRUE(QFile::exists(out + "/00012345/texts.bin"));
}

} // namespace
