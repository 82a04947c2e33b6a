// nodarix-cli resources upload and update against the simulator: the same chains as the windows,
// their texts on stderr, and the exit statuses. The application object comes from cli_link_test.cpp.
#include "tests/support/CliProcess.h"
#include "tests/support/SimProcess.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

namespace {

QStringList linkTo(const SimProcess& sim, int timeoutMs = 700) {
    return {QStringLiteral("--host"), sim.host(), QStringLiteral("--port"), QString::number(sim.port()),
            QStringLiteral("--timeout"), QString::number(timeoutMs)};
}

struct UpdateCliCase {
    const char* name;
    QStringList simArguments;
    QStringList command; // DIR stands for the test's directory, BIG for a Res.txt listing a page too big
    int exitCode;
    QString message;      // the last status text on stderr
    bool backupNamed;     // stderr names the backup folder
};

void PrintTo(const UpdateCliCase& c, std::ostream* os) {
    *os << c.name;
}

class UpdateCli : public ::testing::TestWithParam<UpdateCliCase> {};

TEST_P(UpdateCli, RunsTheWindowsChainsWithTheirExitStatus) {
    const UpdateCliCase& c = GetParam();
    SimProcess sim(c.simArguments + QStringList{"--restart-ms", "200", "--log"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    QTemporaryDir dir;
    QFile big(dir.filePath(QStringLiteral("big.html")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.write(QByteArray(600000, 'x')) == 600000);
    big.close();
    QFile list(dir.filePath(QStringLiteral("Res.txt")));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("u1=" + big.fileName().toLocal8Bit() + "\r\n");
    list.close();
    QStringList command = c.command;
    command.replaceInStrings(QStringLiteral("DIR"), dir.path());
    command.replaceInStrings(QStringLiteral("BIG"), list.fileName());

    const CliRun r = RunCli(linkTo(sim) + command);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
    const bool named = r.err.contains(QStringLiteral("Kopia konfiguracji: ") + QDir::toNativeSeparators(dir.path()));
    EXPECT_EQ(named, c.backupNamed) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    if (c.exitCode == 7 || c.exitCode == 9 || c.exitCode == 6) {
        sim.stop();
        EXPECT_FALSE(sim.log().contains(" 0xA1 ")) << "nothing is written to the controller";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, UpdateCli,
    ::testing::Values(
        UpdateCliCase{"resources_qpa", {"--edition", "QPA"}, {"resources", "upload"}, 0, "Zasoby załadowane OK.", false},
        UpdateCliCase{"resources_qpb_italian", {"--edition", "QPB"}, {"resources", "upload", "--lang", "it"}, 0,
                      "Zasoby załadowane OK.", false},
        UpdateCliCase{"resources_too_big", {"--edition", "QPB"}, {"resources", "upload", "--res", "BIG"}, 7,
                      "Błąd: nie można pobrać zasobów programu.", false},
        UpdateCliCase{"resources_neither_edition", {"--realization", "ABC"}, {"resources", "upload"}, 4,
                      "Błąd: nierozpoznana wersja nodarix-a.", false},
        UpdateCliCase{"update_qpa", {"--jumper", "--version-text", "V4.0.1"},
                      {"update", "--restart-wait", "600", "--backup-dir", "DIR"}, 0, "Aktualizacja zakończona.", true},
        UpdateCliCase{"update_qpa_no_convert", {"--jumper"}, {"update", "--no-convert", "--restart-wait", "600"}, 0,
                      "Aktualizacja zakończona.", false},
        UpdateCliCase{"update_qpb", {"--jumper", "--edition", "QPB"}, {"update", "--restart-wait", "600"}, 0,
                      "Aktualizacja zakończona.", false},
        UpdateCliCase{"update_no_jumper", {}, {"update"}, 9, "Brak zwory odblokowującej programowanie nodarix-a.", false},
        UpdateCliCase{"update_old_version", {"--jumper", "--version-text", "V3.9.0"}, {"update"}, 9,
                      "Aktualizacja możliwa tylko z wersji \"V4.0.1\".", false},
        UpdateCliCase{"update_image_too_big", {"--jumper"}, {"update", "--res", "BIG", "--backup-dir", "DIR"}, 7,
                      "Błąd: nie można pobrać zasobów programu.", false},
        UpdateCliCase{"update_silent_after_zeroing", {"--jumper", "--fault", "silent,fault-code=0xA1,fault-after=100"},
                      {"update", "--restart-wait", "600", "--backup-dir", "DIR"}, 3, "Błąd: nodarix nie odpowiada.", true},
        UpdateCliCase{"update_bad_option", {"--jumper"}, {"update", "--lang", "DE"}, 2, "--lang", false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
