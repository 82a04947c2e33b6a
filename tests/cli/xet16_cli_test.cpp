// nodarix-cli xet16: named options to the record's bytes, refused input, and the send through a
// simulated controller with its outcomes.
#include "tests/support/CliProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/SimState.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace {

// Every run names a loopback controller, so that no mistake can reach a real one.
CliRun xet16(const QStringList& options, quint16 port = 9, int timeoutMs = 1000) {
    return RunCli(QStringList{"--host", "127.0.0.1", "--port", QString::number(port), "--timeout",
                              QString::number(timeoutMs), "xet16"} +
                  options,
                  30000);
}

QByteArray defaultRecord() {
    QByteArray b(166, '\0');
    b[64] = char(0x80); // 9600 baud
    b[65] = char(0x25);
    b[66] = 1; // 8 data bits
    return b;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct DumpCase {
    const char* name;
    QStringList options;
    std::map<int, QByteArray> changed; // offset -> bytes that differ from the default record
};

void PrintTo(const DumpCase& c, std::ostream* os) {
    *os << c.name;
}

class Xet16Dump : public ::testing::TestWithParam<DumpCase> {};

TEST_P(Xet16Dump, WritesTheRecord) {
    QTemporaryDir dir;
    const QString file = dir.filePath("xet16.bin");
    const CliRun r = xet16(GetParam().options + QStringList{"--dump", file});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QByteArray expected = defaultRecord();
    for (const auto& [offset, bytes] : GetParam().changed)
        expected.replace(offset, bytes.size(), bytes);
    EXPECT_EQ(readAll(file).toHex(), expected.toHex());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Xet16Dump,
    ::testing::Values(
        DumpCase{"Defaults", {}, {}},
        DumpCase{"Inputs",
                 {"--input1", "dht22", "--input3", "DS1990A-MP", "--input1-rom1", "28FF", "--input2-rom2",
                  "0123456789abcdef"},
                 {{0, QByteArray::fromHex("040006")},
                  {3, QByteArray::fromHex("28FF000000000000")},
                  {35, QByteArray::fromHex("0123456789ABCDEF")}}},
        DumpCase{"PortsAndOutputs",
                 {"--port3", "pwm", "--port6", "pwm", "--out1", "dmx16", "--out2", "pwm3", "--out3", "pwm5",
                  "--out8", "pwm6"},
                 {{51, QByteArray::fromHex("01000001")}, {55, QByteArray::fromHex("10FCFE")}, {62, "\xFF"}}},
        DumpCase{"SerialAndModule",
                 {"--serial", "dmx", "--speed", "65535", "--bits", "7", "--parity", "space", "--stop", "1.5",
                  "--program-as", "4", "--module", "2"},
                 {{63, QByteArray::fromHex("02FFFF00040103")}}}),
    [](const ::testing::TestParamInfo<DumpCase>& info) { return std::string(info.param.name); });

struct RefusalCase {
    const char* name;
    QStringList options;
    QString says;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class Xet16Refused : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Xet16Refused, ExitsWithUsageAndWritesNothing) {
    QTemporaryDir dir;
    const QString file = dir.filePath("xet16.bin");
    const CliRun r = xet16(GetParam().options + QStringList{"--dump", file});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(GetParam().says)) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(file));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Xet16Refused,
    ::testing::Values(RefusalCase{"SpeedAbove65535", {"--speed", "115200"}, "outside 0 to 65535"},
                      RefusalCase{"NegativeSpeed", {"--speed", "-1"}, "outside 0 to 65535"},
                      RefusalCase{"SpeedNotANumber", {"--speed", "abc"}, "not a number"},
                      RefusalCase{"RomWithNonHexPair", {"--input1-rom1", "28FF64G1"}, "--input1-rom1"},
                      RefusalCase{"RomTooLong", {"--input3-rom2", "00112233445566778"}, "16 hexadecimal"},
                      RefusalCase{"UnknownSource", {"--out1", "pwm7"}, "pwm6"},
                      RefusalCase{"ModuleOutOfList", {"--module", "5"}, "--module"},
                      RefusalCase{"UnknownOption", {"--input4", "analog"}, "unknown option"},
                      RefusalCase{"MissingValue", {"--speed"}, "needs a value"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST(Xet16Send, TheControllerGetsTheSameRecordAsTheDump) {
    QTemporaryDir dir;
    const QString state = dir.filePath("sim.state");
    SimProcess sim({"--state", state});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    const QStringList options{"--module", "4", "--out3", "pwm5", "--input1-rom1", "28FF", "--bits", "7"};
    const QString dump = dir.filePath("xet16.bin");
    ASSERT_EQ(xet16(options + QStringList{"--dump", dump}).exitCode, 0);

    const CliRun r = xet16(options, sim.port());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    std::map<int, QByteArray> records = StoredExtRecords(state);
    for (int waited = 0; records.empty() && waited < 3000; waited += 20) { // the state file follows the reply
        QThread::msleep(20);
        records = StoredExtRecords(state);
    }
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records.begin()->first, 3); // request code 0x23
    EXPECT_EQ(records.begin()->second.toHex(), readAll(dump).toHex());
}

struct OutcomeCase {
    const char* name;
    QStringList fault;
    int exitCode;
    QString message;
};

void PrintTo(const OutcomeCase& c, std::ostream* os) {
    *os << c.name;
}

class Xet16Outcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(Xet16Outcome, ExitCodeAndStatusText) {
    SimProcess sim({"--fault", GetParam().fault.join(',')});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    const CliRun r = xet16({"--module", "2"}, sim.port(), 500);
    EXPECT_EQ(r.exitCode, GetParam().exitCode);
    EXPECT_TRUE(r.err.contains(GetParam().message)) << r.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Xet16Outcome,
    ::testing::Values(
        OutcomeCase{"Silent", {"silent"}, 3, QStringLiteral("Błąd: nodarix nie odpowiada.")},
        OutcomeCase{"Refused", {"ack=0"}, 5, QStringLiteral("Błąd: błąd komunikacji ze nodarix-em.")},
        OutcomeCase{"Meaningless", {"ack=2"}, 4, QStringLiteral("Błąd: błąd komunikacji ze nodarix-em.")}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return std::string(info.param.name); });

} // namespace
