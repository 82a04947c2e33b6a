// backup and restore interrupted: every simulator fault injected at the first, a middle and the last
// exchange of every step of the settings read and write chains. Each run must end with the step's
// failure text and the fault's exit status, never with a success.
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/CliProcess.h"
#include "tests/support/SettingsSweep.h"
#include "tests/support/SimProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

using namespace sweep;

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<QCoreApplication>);

// The last status text the command printed (progress lines are indented).
QString lastStatus(const QString& err) {
    const QStringList lines = err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = lines.size() - 1; i >= 0; --i)
        if (!lines.at(i).startsWith(QLatin1Char(' ')))
            return lines.at(i);
    return {};
}

QStringList faultyLink(const SimProcess& sim) {
    return {"--host", sim.host(), "--port", QString::number(sim.port()), "--timeout", "400"};
}

class BackupSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(BackupSweep, EndsWithTheFailureAndItsExitStatus) {
    const auto& [at, fault] = GetParam();
    SimProcess sim(simWith(at, fault));
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("backup.ndrx"));
    const CliRun r = RunCli(faultyLink(sim) + QStringList{"backup", "-o", out});
    recordOutcome(r.exitCode, lastStatus(r.err));
    expectExitOf(fault, r.exitCode, r.err.toStdString());
    EXPECT_EQ(lastStatus(r.err), failureText(false, at, fault)) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

INSTANTIATE_TEST_SUITE_P(Settings, BackupSweep,
                         ::testing::Combine(::testing::ValuesIn(kReadExchanges), ::testing::ValuesIn(kFaults)),
                         caseName);

// The configuration text of a fresh controller of each edition, written once for the restores.
QString textOf(bool qpb) {
    static QTemporaryDir dir;
    static std::map<bool, QString> texts;
    if (texts.count(qpb) == 0) {
        SimProcess sim({"--edition", qpb ? "QPB" : "QPA"});
        const QString path = dir.filePath(qpb ? QStringLiteral("qpb.ndrx") : QStringLiteral("qpa.ndrx"));
        const CliRun r = RunCli(faultyLink(sim) + QStringList{"backup", "-o", path});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        texts[qpb] = path;
    }
    return texts[qpb];
}

class RestoreSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(RestoreSweep, EndsWithTheFailureAndItsExitStatus) {
    const auto& [at, fault] = GetParam();
    const QString text = textOf(at.qpb);
    SimProcess sim(simWith(at, fault));
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    const CliRun r = RunCli(faultyLink(sim) + QStringList{"restore", text});
    recordOutcome(r.exitCode, lastStatus(r.err));
    expectExitOf(fault, r.exitCode, r.err.toStdString());
    EXPECT_EQ(lastStatus(r.err), failureText(true, at, fault)) << r.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Settings, RestoreSweep,
                         ::testing::Combine(::testing::ValuesIn(kWriteExchanges), ::testing::ValuesIn(kFaults)),
                         caseName);

} // namespace
