// nodarix-cli's controller commands against the simulator: exit codes, messages, refused input.
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/CliProcess.h"
#include "tests/support/SimProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<QCoreApplication>);

QStringList linkTo(const SimProcess& sim, int timeoutMs = 2000) {
    return {QStringLiteral("--host"), sim.host(), QStringLiteral("--port"), QString::number(sim.port()),
            QStringLiteral("--timeout"), QString::number(timeoutMs)};
}

QString writeTemp(const QTemporaryDir& dir, const QString& name, const QByteArray& data) {
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(data);
    return path;
}

const QString kSilent = QStringLiteral("Błąd: nodarix nie odpowiada.");
const QString kBroken = QStringLiteral("Błąd: błąd komunikacji ze nodarix-em.");

struct FaultCase {
    const char* name;
    QStringList simArguments;
    QStringList command; // FILE stands for a 166-byte record
    int exitCode;
    QString message;
};

class Faults : public ::testing::TestWithParam<FaultCase> {};

} // namespace

TEST_P(Faults, MapToExitCodeAndStatusText) {
    const FaultCase& c = GetParam();
    SimProcess sim(c.simArguments);
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    QTemporaryDir dir;
    QStringList command = c.command;
    command.replaceInStrings(QStringLiteral("FILE"), writeTemp(dir, QStringLiteral("ext.bin"), QByteArray(166, '\1')));
    command.replaceInStrings(QStringLiteral("OUT"), dir.filePath(QStringLiteral("out.bin")));
    const CliRun r = RunCli(linkTo(sim, 400) + command);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
    if (!c.message.isEmpty()) {
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    }
    if (c.exitCode != 0 && c.command.contains(QStringLiteral("OUT"))) {
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("out.bin")))); // nothing half-read is written
    }
}

INSTANTIATE_TEST_SUITE_P(
    Simulator, Faults,
    ::testing::Values(
        FaultCase{"VersionOk", {}, {"version"}, 0, {}},
        FaultCase{"Silent", {"--fault", "silent"}, {"version"}, 3, kSilent},
        FaultCase{"WrongLength", {"--fault", "wrong-length"}, {"version"}, 4, kBroken},
        FaultCase{"WrongCode", {"--fault", "wrong-code"}, {"http", "on"}, 5, kBroken},
        FaultCase{"WrongAddress", {"--fault", "wrong-address"}, {"read", "qpb-settings", "-o", "OUT"}, 5, kBroken},
        FaultCase{"TenthBlockFails", {"--fault", "wrong-address,fault-after=9"}, {"read", "qpb-vars", "-o", "OUT"}, 5,
                  kBroken},
        // Closed without a reply. (A close after a reply may be seen before the next cycle, which then
        // reconnects as it should, so only this form fails the same way every time.)
        FaultCase{"ClosedWithoutReply", {"--fault", "close-after=0"}, {"read", "qpa-texts", "-o", "OUT"}, 3, kSilent},
        FaultCase{"AckRefused", {"--fault", "ack=0"}, {"ext-save", "2", "FILE"}, 5, kBroken},
        FaultCase{"AckMeaningless", {"--fault", "ack=2"}, {"ext-save", "2", "FILE"}, 4, kBroken},
        FaultCase{"AckDone", {}, {"ext-save", "3", "FILE"}, 0, {}},
        FaultCase{"WrongPassword", {"--password", "tajne"}, {"version"}, 3, kSilent}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliLink, VersionFieldsAndImageRoundTrips) {
    SimProcess sim({"--edition", "QPA", "--version-text", "V4.0.1", "--pcb", "C", "--jumper", "--serial", "SN42",
                    "--language", "IT"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    const CliRun v = RunCli(linkTo(sim) + QStringList{"version"});
    ASSERT_EQ(v.exitCode, 0) << v.err.toStdString();
    EXPECT_EQ(v.out, QStringLiteral("Version: V4.0.1\nPCB: C\nSwitch: e\nRealization: QPA1\nSerial: SN42\nLangue: IT\n"));

    // A flash image lands in the flash area, where the QPA settings and texts live too.
    QTemporaryDir dir;
    QByteArray image(524288, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char((i * 13 + i / 256) & 0xFF);
    ASSERT_EQ(RunCli(linkTo(sim) + QStringList{"flash-upload", writeTemp(dir, "image.bin", image)}).exitCode, 0);
    const QString settings = dir.filePath(QStringLiteral("settings.bin"));
    const QString texts = dir.filePath(QStringLiteral("texts.bin"));
    ASSERT_EQ(RunCli(linkTo(sim) + QStringList{"read", "qpa-settings", "-o", settings}).exitCode, 0);
    ASSERT_EQ(RunCli(linkTo(sim) + QStringList{"read", "qpa-texts", "-o", texts}).exitCode, 0);
    QFile s(settings), t(texts);
    ASSERT_TRUE(s.open(QIODevice::ReadOnly) && t.open(QIODevice::ReadOnly));
    EXPECT_EQ(s.readAll(), image.mid(0x600, 8192));
    EXPECT_EQ(t.readAll(), image.mid(0x2900, 32768));

    const QByteArray vars(16640, '\x42');
    ASSERT_EQ(RunCli(linkTo(sim) + QStringList{"write", "qpb-vars", writeTemp(dir, "vars.bin", vars)}).exitCode, 0);
    const QString back = dir.filePath(QStringLiteral("back.bin"));
    ASSERT_EQ(RunCli(linkTo(sim) + QStringList{"read", "qpb-vars", "-o", back}).exitCode, 0);
    QFile b(back);
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(b.readAll(), vars);
}

TEST(CliLink, RestartThenControllerIsAwayForAWhile) {
    SimProcess sim({"--restart-ms", "3000"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    EXPECT_EQ(RunCli(linkTo(sim) + QStringList{"restart"}).exitCode, 0);
    EXPECT_EQ(RunCli(linkTo(sim, 300) + QStringList{"version"}).exitCode, 3);
}

TEST(CliLink, RefusesBadInputBeforeConnecting) {
    QTemporaryDir dir;
    const QString small = writeTemp(dir, QStringLiteral("small.bin"), QByteArray(100, '\0'));
    const QString record = writeTemp(dir, QStringLiteral("record.bin"), QByteArray(166, '\0'));
    // Port 1 on loopback: nothing listens there, so any attempt to connect would end with 3, not 2.
    const QStringList link{"--host", "127.0.0.1", "--port", "1", "--timeout", "300"};
    const QList<QStringList> cases{
        {"write", "qpb-settings", small},
        {"write", "qpb-settings", dir.filePath("missing.bin")},
        {"write", "everything", small},
        {"read", "qpa-texts"},
        {"flash-upload", small},
        {"ext-save", "4", record},
        {"ext-save", "x", record},
        {"http", "maybe"},
        {"no-such-command"},
    };
    for (const QStringList& c : cases) {
        const CliRun r = RunCli(link + c);
        EXPECT_EQ(r.exitCode, 2) << c.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    for (const QStringList& bad : QList<QStringList>{{"--port", "70000", "version"}, {"--timeout", "abc", "version"},
                                                     {"--port"}, {"--colour", "blue", "version"}})
        EXPECT_EQ(RunCli(bad).exitCode, 2) << bad.join(' ').toStdString();
    const CliRun help = RunCli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("flash-upload")));
}
