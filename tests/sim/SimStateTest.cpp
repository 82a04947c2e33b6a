// The simulator's memory across runs (state file, seed images) and its command line.
#include "tests/sim/RawLink.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

using namespace rawlink;

namespace {

class SimState : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

TEST_F(SimState, MemorySurvivesARestartOfTheSimulator) {
    const QString state = path("sim.state");
    {
        SimProcess sim({"--state", state});
        ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
        Link link;
        ASSERT_TRUE(link.open(sim.port()));
        // Writes without a write end, as the texts and variables transfers do.
        ASSERT_TRUE(link.exchange(request(0xA1, address(0x2900) + pattern(256, 1))));
        ASSERT_TRUE(link.exchange(request(0xA1, address(0x600) + pattern(256, 2))));
        ASSERT_TRUE(link.exchange(request(0xAC)));
        ASSERT_TRUE(link.exchange(request(0xA7, address(0xFF00) + pattern(256, 3))));
        ASSERT_TRUE(link.exchange(request(0xA9, address(0x4000) + pattern(256, 4))));
        ASSERT_TRUE(link.exchange(request(0x22, pattern(166, 5))));
        ASSERT_TRUE(link.exchange(request(0xE1)));
        EXPECT_EQ(sim.stop(), 0);
    }
    SimProcess sim({"--state", state});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    EXPECT_EQ(link.exchange(request(0xA0, address(0x2900)))->mid(19), pattern(256, 1));
    EXPECT_EQ(link.exchange(request(0xA0, address(0x600)))->mid(19), pattern(256, 2));
    EXPECT_EQ(link.exchange(request(0xA6, address(0xFF00)))->mid(19), pattern(256, 3));
    EXPECT_EQ(link.exchange(request(0xA8, address(0x4000)))->mid(19), pattern(256, 4));
    sim.stop();

    // The raw images come back out as they went in; the HTTP flag is kept.
    const auto exported =
        SimProcess::run({"--state", state, "--export", "qpa-texts=" + path("texts.bin"), "--export",
                         "qpa-settings=" + path("settings.bin"), "--export", "qpb-vars=" + path("vars.bin")});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    const QByteArray texts = readFile(path("texts.bin")), settings = readFile(path("settings.bin")),
                     vars = readFile(path("vars.bin"));
    ASSERT_EQ(texts.size(), 32768);
    ASSERT_EQ(settings.size(), 8192);
    ASSERT_EQ(vars.size(), 16640);
    EXPECT_EQ(texts.left(256), pattern(256, 1));
    EXPECT_EQ(settings.left(256), pattern(256, 2));
    EXPECT_EQ(vars.right(256), pattern(256, 4));
    EXPECT_TRUE(readFile(state).contains(QByteArray("HTTP\0\0\0\1\1", 9)));

    const auto dump = SimProcess::run({"--state", state, "--dump-ext"});
    EXPECT_EQ(dump.exitCode, 0) << dump.err.toStdString();
    EXPECT_TRUE(dump.out.contains("raw: " + pattern(166, 5).toHex().toUpper())) << dump.out.toStdString();
    EXPECT_TRUE(dump.out.contains("extension module 2 (request code 0x22)")) << dump.out.toStdString();
    EXPECT_TRUE(dump.out.contains("extension module 0: no record received"));
    EXPECT_TRUE(dump.out.contains(pattern(166, 5).left(16).toHex(' ').toUpper())) << dump.out.toStdString();
}

TEST_F(SimState, ExtensionRecordIsSavedAtOnceAndARefusedOneIsNotStored) {
    const QString state = path("ext.state");
    {
        SimProcess sim({"--state", state, "--fault", "ack=0", "--fault", "fault-after=1"});
        ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
        Link link;
        ASSERT_TRUE(link.open(sim.port()));
        EXPECT_EQ(argument(*link.exchange(request(0x20, pattern(166, 7)))), 1);
        EXPECT_EQ(argument(*link.exchange(request(0x21, pattern(166, 8)))), 0);
        // Saved without waiting for the end of the run: a killed simulator keeps the record.
        const auto dump = SimProcess::run({"--state", state, "--dump-ext"});
        EXPECT_TRUE(dump.out.contains("extension module 0 (request code 0x20)")) << dump.out.toStdString();
        EXPECT_TRUE(dump.out.contains("extension module 1: no record received")) << dump.out.toStdString();
    }
}

TEST_F(SimState, DecodedRecordShowsTheModuleSettings) {
    const QString state = path("decoded.state");
    QByteArray rec(166, '\0');
    rec[2] = 2;                                   // input 3: DS18B20
    rec.replace(3, 2, QByteArray("\x28\xFF", 2)); // input 1 ROM1 28FF...
    rec[57] = char(254);                          // output 3 from PWM port 5
    rec[64] = char(0x80);                         // 9600 baud, little-endian
    rec[65] = char(0x25);
    rec[66] = 1;
    rec[69] = 3;
    {
        SimProcess sim({"--state", state});
        ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
        Link link;
        ASSERT_TRUE(link.open(sim.port()));
        ASSERT_TRUE(link.exchange(request(0x23, rec)));
    }
    const auto dump = SimProcess::run({"--state", state, "--dump-ext"});
    const std::string out = dump.out.toStdString();
    EXPECT_NE(out.find("input 1: analog, ROM1 28FF000000000000"), std::string::npos) << out;
    EXPECT_NE(out.find("input 3: DS18B20 temperature"), std::string::npos) << out;
    EXPECT_NE(out.find("PWM port 5"), std::string::npos) << out;
    EXPECT_NE(out.find("9600 baud, 8 data bits"), std::string::npos) << out;
    EXPECT_NE(out.find("module as number 4"), std::string::npos) << out;
}

TEST_F(SimState, SeedImagesLandAtTheirAddresses) {
    ASSERT_TRUE(writeBytes(path("set.bin"), pattern(8192, 1)));
    ASSERT_TRUE(writeBytes(path("txt.bin"), pattern(32768, 2)));
    ASSERT_TRUE(writeBytes(path("vars.bin"), pattern(16640, 3)));
    SimProcess sim({"--seed", "qpa-settings=" + path("set.bin"), "--seed", "qpa-texts=" + path("txt.bin"),
                    "--seed", "qpb-vars=" + path("vars.bin")});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    EXPECT_EQ(link.exchange(request(0xA0, address(0x600)))->mid(19), pattern(8192, 1).left(256));
    EXPECT_EQ(link.exchange(request(0xA0, address(0x2500)))->mid(19), pattern(8192, 1).right(256));
    EXPECT_EQ(link.exchange(request(0xA0, address(0x2900)))->mid(19), pattern(32768, 2).left(256));
    EXPECT_EQ(link.exchange(request(0xA0, address(0xA800)))->mid(19), pattern(32768, 2).right(256));
    EXPECT_EQ(link.exchange(request(0xA8, address(0x4000)))->mid(19), pattern(16640, 3).right(256));
}

struct BadStateCase {
    const char* name;
    std::function<QByteArray(QByteArray)> spoil;
    const char* message;
};

// Parameterised cases show their name, not their bytes, in messages.
void PrintTo(const BadStateCase& c, std::ostream* os) {
    *os << c.name;
}

class BadStateFile : public ::testing::TestWithParam<BadStateCase> {};

TEST_P(BadStateFile, RefusedWithExitStatus2) {
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("s.state"));
    {
        SimProcess sim({"--state", state});
        ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
        Link link;
        ASSERT_TRUE(link.open(sim.port()));
        ASSERT_TRUE(link.exchange(request(0x20, pattern(166, 1))));
    }
    const QByteArray good = readFile(state);
    ASSERT_GT(good.size(), 600000);
    ASSERT_TRUE(writeBytes(state, GetParam().spoil(good)));
    const auto result = SimProcess::run({"--state", state, "--port", "0"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains("state file")) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(GetParam().message)) << result.err.toStdString();
    EXPECT_FALSE(result.out.contains("listening"));
}

INSTANTIATE_TEST_SUITE_P(
    Sim, BadStateFile,
    ::testing::Values(
        BadStateCase{"empty", [](QByteArray) { return QByteArray(); }, "bad magic"},
        BadStateCase{"other_file", [](QByteArray) { return QByteArray(600000, 'x'); }, "bad magic"},
        BadStateCase{"cut_inside_a_section", [](QByteArray b) { return b.left(100000); }, "remain"},
        BadStateCase{"cut_in_the_checksum", [](QByteArray b) { return b.left(b.size() - 10); }, "truncated"},
        BadStateCase{"cut_after_a_section", [](QByteArray b) { return b.left(12 + 8 + 524288); },
                     "truncated"},
        BadStateCase{"flipped_byte",
                     [](QByteArray b) {
                         b[5000] = char(b[5000] ^ 0x40);
                         return b;
                     },
                     "checksum"},
        BadStateCase{"wrong_version",
                     [](QByteArray b) {
                         b[11] = 9;
                         return b;
                     },
                     "version"},
        BadStateCase{"trailing_bytes", [](QByteArray b) { return b + QByteArray("junk"); },
                     "checksum trailer"},
        BadStateCase{"huge", [](QByteArray b) { return b + QByteArray(3 * 1024 * 1024, '\0'); }, "bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadOptionCase {
    const char* name;
    QStringList args;
    const char* message;
};

// Parameterised cases show their name, not their bytes, in messages.
void PrintTo(const BadOptionCase& c, std::ostream* os) {
    *os << c.name;
}

class BadOption : public ::testing::TestWithParam<BadOptionCase> {};

TEST_P(BadOption, ExitStatus2WithAClearMessage) {
    const auto result = SimProcess::run(GetParam().args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains(GetParam().message)) << result.err.toStdString();
    EXPECT_FALSE(result.out.contains("listening"));
}

INSTANTIATE_TEST_SUITE_P(
    Sim, BadOption,
    ::testing::Values(
        BadOptionCase{"unknown_option", {"--colour"}, "colour"},
        BadOptionCase{"positional", {"extra"}, "unexpected argument"},
        BadOptionCase{"port_too_big", {"--port", "70000"}, "--port"},
        BadOptionCase{"port_not_a_number", {"--port", "abc"}, "--port"},
        BadOptionCase{"non_loopback_bind", {"--bind", "192.168.0.177"}, "not a loopback address"},
        BadOptionCase{"any_address_bind", {"--bind", "0.0.0.0"}, "--allow-non-loopback"},
        BadOptionCase{"bind_not_an_address", {"--bind", "controller"}, "not an IP address"},
        BadOptionCase{"edition", {"--edition", "QPC"}, "QPA or QPB"},
        BadOptionCase{"language", {"--language", "DE"}, "PL, EN or IT"},
        BadOptionCase{"pcb_two_letters", {"--pcb", "AB"}, "one letter"},
        BadOptionCase{"version_text_too_long", {"--version-text", "V4.1.3.7"}, "at most 6"},
        BadOptionCase{"serial_too_long", {"--serial", "123456789"}, "at most 8"},
        BadOptionCase{"unknown_fault", {"--fault", "explode"}, "unknown fault"},
        BadOptionCase{"close_after_without_count", {"--fault", "close-after"}, "needs a count"},
        BadOptionCase{"ack_out_of_range", {"--fault", "ack=256"}, "0..255"},
        BadOptionCase{"two_faults", {"--fault", "silent", "--fault", "wrong-code"}, "only one fault"},
        BadOptionCase{"modifier_alone", {"--fault", "fault-after=3"}, "need a fault"},
        BadOptionCase{"restart_ms_negative", {"--restart-ms", "-1"}, "--restart-ms"},
        BadOptionCase{"seed_unknown_kind", {"--seed", "firmware=x.bin"}, "KIND=FILE"},
        BadOptionCase{"seed_missing_file", {"--seed", "flash=/nonexistent/flash.bin"}, "cannot open"},
        BadOptionCase{"seed_wrong_size", {"--seed", "qpa-settings=/dev/null"}, "expected 8192"},
        BadOptionCase{"dump_without_state", {"--dump-ext"}, "need --state"},
        BadOptionCase{"export_without_state", {"--export", "flash=x.bin"}, "need --state"},
        BadOptionCase{"export_unknown_kind", {"--export", "texts=x.bin"}, "KIND=FILE"},
        BadOptionCase{
            "state_in_missing_dir", {"--state", "/nonexistent/dir/s.state"}, "cannot write state file"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimCommandLine, HelpNamesEveryOptionAndExitsZero) {
    const auto result = SimProcess::run({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    for (const char* option :
         {"--port", "--bind", "--allow-non-loopback", "--edition", "--version-text", "--pcb", "--jumper",
          "--realization", "--serial", "--language", "--password", "--state", "--seed", "--fault",
          "--restart-ms", "--log", "--show-ext", "--dump-ext", "--export"})
        EXPECT_TRUE(result.out.contains(option)) << option;
}

TEST(SimCommandLine, PortInUseExitsWithStatus1) {
    SimProcess first;
    ASSERT_TRUE(first.started()) << first.failure().toStdString();
    const auto second = SimProcess::run({"--port", QString::number(first.port())});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.err.contains("cannot listen")) << second.err.toStdString();
}

TEST(SimCommandLine, LogHasOneLinePerExchange) {
    SimProcess sim({"--log"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    ASSERT_TRUE(link.exchange(request(0xA0, address(0x2900))));
    ASSERT_TRUE(link.exchange(request(0xAA)));
    const QByteArray log = sim.log();
    EXPECT_TRUE(log.contains("0xA0 flash-read addr 0x002900 -> 0xB0 ok")) << log.toStdString();
    EXPECT_TRUE(log.contains("0xAA version -> 0xBA ok")) << log.toStdString();
}

} // namespace
