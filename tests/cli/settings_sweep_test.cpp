// backup and restore interrupted: every simulator fault injected at the first, a middle and the last
// exchange of every step of the settings read and write chains. Each run must end with the step's
// failure text and the fault's exit status, never with a success.
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/CliProcess.h"
#include "tests/support/SimProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <ostream>
#include <tuple>

namespace {

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<QCoreApplication>);

const QString kSilentText = QStringLiteral("Błąd: nodarix nie odpowiada.");
const QString kCommText = QStringLiteral("Błąd: błąd komunikacji ze nodarix-em.");
const QString kWriteText = QStringLiteral("Błąd zapisu Nodarix-a.");

struct Fault {
    const char* name;
    const char* option;   // --fault value, completed with fault-after
    bool noAnswer;        // the controller does not answer (exit 3), else it answers wrongly (exit 4 or 5)
    bool touchesVersion;  // the version reply is affected; otherwise the fault lands on the next exchange
};

const Fault kFaults[] = {
    {"Silence", "silent", true, true},           {"Close", "close-after=0", true, true},
    {"WrongAddress", "wrong-address", false, false}, {"WrongLength", "wrong-length", false, true},
    {"WrongCode", "wrong-code", false, true},     {"Refusal", "refuse", false, true},
};

void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }

// One exchange of a chain's step, counted from 0 over the whole command (the version query first).
struct Exchange {
    const char* name;
    bool qpb;
    int index;
    bool versionStep; // the version query, whose failure texts are the common ones for restore too
};

// QPA: version 0; settings: read start 1, blocks 2..33; texts 34..161.
// QPB: version 0; settings 1..256; variables 257..321.
const Exchange kReadExchanges[] = {
    {"QpaVersion", false, 0, true},       {"QpaSettingsFirst", false, 1, false}, {"QpaSettingsMiddle", false, 17, false},
    {"QpaSettingsLast", false, 33, false}, {"QpaTextsFirst", false, 34, false},   {"QpaTextsMiddle", false, 97, false},
    {"QpaTextsLast", false, 161, false},  {"QpbVersion", true, 0, true},         {"QpbSettingsFirst", true, 1, false},
    {"QpbSettingsMiddle", true, 128, false}, {"QpbSettingsLast", true, 256, false}, {"QpbVarsFirst", true, 257, false},
    {"QpbVarsMiddle", true, 289, false},  {"QpbVarsLast", true, 321, false},
};

// QPA: version 0; settings blocks 1..32 and the write end 33; texts 34..161.
// QPB: version 0; settings 1..256 and the write end 257; variables 258..322.
const Exchange kWriteExchanges[] = {
    {"QpaVersion", false, 0, true},         {"QpaSettingsFirst", false, 1, false},  {"QpaSettingsMiddle", false, 16, false},
    {"QpaWriteEnd", false, 33, false},      {"QpaTextsFirst", false, 34, false},    {"QpaTextsMiddle", false, 97, false},
    {"QpaTextsLast", false, 161, false},    {"QpbVersion", true, 0, true},          {"QpbSettingsFirst", true, 1, false},
    {"QpbSettingsMiddle", true, 128, false}, {"QpbWriteEnd", true, 257, false},     {"QpbVarsFirst", true, 258, false},
    {"QpbVarsMiddle", true, 290, false},    {"QpbVarsLast", true, 322, false},
};

void PrintTo(const Exchange& e, std::ostream* os) { *os << e.name; }

using SweepCase = std::tuple<Exchange, Fault>;

std::string caseName(const ::testing::TestParamInfo<SweepCase>& info) {
    return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
}

// The exit status fits the fault: 3 for no answer, 4 (not understood) or 5 (wrong) for a wrong one.
void expectExitOf(const Fault& fault, const CliRun& r) {
    if (fault.noAnswer)
        EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
    else
        EXPECT_TRUE(r.exitCode == 4 || r.exitCode == 5) << r.exitCode << "\n" << r.err.toStdString();
}

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

QStringList simWith(const Exchange& at, const Fault& fault) {
    return {"--edition", at.qpb ? "QPB" : "QPA", "--fault",
            QStringLiteral("%1,fault-after=%2").arg(QLatin1String(fault.option)).arg(at.index)};
}

class BackupSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(BackupSweep, EndsWithTheFailureAndItsExitStatus) {
    const auto& [at, fault] = GetParam();
    SimProcess sim(simWith(at, fault));
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("backup.ndrx"));
    const CliRun r = RunCli(faultyLink(sim) + QStringList{"backup", "-o", out});
    expectExitOf(fault, r);
    EXPECT_EQ(lastStatus(r.err), fault.noAnswer ? kSilentText : kCommText) << r.err.toStdString();
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
    expectExitOf(fault, r);
    // Nothing is written when the version query fails; a failed write step has one text for all.
    const QString expected = !(at.versionStep && fault.touchesVersion) ? kWriteText
                             : fault.noAnswer                          ? kSilentText
                                                                       : kCommText;
    EXPECT_EQ(lastStatus(r.err), expected) << r.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Settings, RestoreSweep,
                         ::testing::Combine(::testing::ValuesIn(kWriteExchanges), ::testing::ValuesIn(kFaults)),
                         caseName);

} // namespace
