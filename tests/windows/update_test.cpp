// The update window against the simulator: the check, the QPA path with and without the
// conversion, the QPB path, and a controller failing at each step, with the backup from which the
// configuration comes back byte for byte. The application object comes from xetv3set_test.cpp.
#include "config/ConfigBackup.h"
#include "flash/FlashImage.h"
#include "tests/support/CliProcess.h"
#include "tests/windows/UpdateWindowFixture.h"
#include "tests/windows/WindowChecks.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

TEST_F(UpdateWindow, StartsWithItsControlsAndLooksRight) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Aktualizacja NodaRix-a do wersji V4.1.3d"));
    EXPECT_EQ(window->UpdateGroup->title(), QStringLiteral("Aktualizacja oprogramowania NodaRix-a"));
    EXPECT_EQ(window->Button1->text(), QStringLiteral("Połącz i sprawdź NodaRix-a"));
    EXPECT_EQ(window->Button2->text(), QStringLiteral("Aktualizuj Nodarix-a"));
    EXPECT_EQ(window->CheckBox1->text(), QStringLiteral("Przeprowadź konwersję ustawień konfiguracyjnych"));
    EXPECT_TRUE(window->Button1->isEnabled());
    EXPECT_FALSE(window->Button2->isEnabled());
    EXPECT_TRUE(window->CheckBox1->isChecked() && window->CheckBox1->isEnabled());
    EXPECT_FALSE(window->Panel->ComboBox2->isEnabled());
    EXPECT_EQ(window->Panel->ComboBox2->currentIndex(), -1);
    EXPECT_EQ(bar()->maximum(), 614400);
    TfmWindows_Update fresh(dir.path());
    EXPECT_EQ(fresh.Timer7->interval(), 10000);
    EXPECT_EQ(fresh.Timer11->interval(), 15000);
    EXPECT_TRUE(fresh.Timer7->isSingleShot() && fresh.Timer11->isSingleShot() && fresh.Timer4->isSingleShot());
    for (const QTimer* t : {fresh.Timer1, fresh.Timer2, fresh.Timer3, fresh.Timer4, fresh.Timer5, fresh.Timer6,
                            fresh.Timer7, fresh.Timer8, fresh.Timer9, fresh.Timer10, fresh.Timer11, fresh.Timer12}) {
        EXPECT_FALSE(t->isActive());
        if (t != fresh.Timer7 && t != fresh.Timer11) {
            EXPECT_EQ(t->interval(), 100);
        }
    }
    EXPECT_TRUE(fresh.Timer13->isActive());
    EXPECT_EQ(fresh.Timer13->interval(), 100);
    window->Panel->ComboEdit1->setEditText(QStringLiteral("192.168.0.177")); // shown only; nothing is sent
    SaveScreenshot(*window, QStringLiteral("update.png"));
    EXPECT_GT(ExpectNothingClippedOrOverlapping(*window), 10u);
}

struct CheckCase {
    const char* name;
    QStringList args;
    const char* text;
    int path;
    int language; // the language box's entry afterwards, -1 none
};

void PrintTo(const CheckCase& c, std::ostream* os) {
    *os << c.name;
}

class UpdateCheck : public UpdateWindow, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(UpdateCheck, VersionJumperAndEditionDecideThePath) {
    const CheckCase& c = GetParam();
    const auto sim = startSim(c.args, false);
    check();
    EXPECT_EQ(status(), QString::fromUtf8(c.text));
    EXPECT_EQ(window->UpdatePath(), c.path);
    EXPECT_EQ(window->Button2->isEnabled(), c.path != kPathNone);
    EXPECT_EQ(window->Panel->ComboBox2->currentIndex(), c.language);
    EXPECT_EQ(window->CheckBox1->isChecked(), c.path != kPathQPB);
    EXPECT_EQ(window->CheckBox1->isEnabled(), c.path != kPathQPB);
    EXPECT_TRUE(window->Button1->isEnabled()) << "the check locks nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Update, UpdateCheck,
    ::testing::Values(
        CheckCase{"qpa_v411", {"--version-text", "V4.1.1", "--jumper"}, "NodaRix \"QPA\" jest gotowy do aktualizacji.", 1, 0},
        CheckCase{"qpb_english", {"--edition", "QPB", "--version-text", "V4.0.1", "--jumper", "--language", "EN"},
                  "NodaRix \"QPB\" jest gotowy do aktualizacji.", 2, 1},
        CheckCase{"old_version", {"--version-text", "V4.0.0", "--jumper"},
                  "Aktualizacja możliwa tylko z wersji \"V4.0.1\".", 0, -1},
        CheckCase{"no_jumper", {"--version-text", "V4.1.3"}, "Brak zwory odblokowującej programowanie nodarix-a.", 0, -1},
        CheckCase{"neither_edition", {"--realization", "XYZ", "--jumper", "--language", "IT"},
                  "Nie można zweryfikować wykonania nodarix-a.", 0, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateWindow, QpaPathCarriesTheConvertedConfigurationAcrossTheUpdate) {
    const auto sim = startSim({"--version-text", "V4.0.1", "--jumper"}, true);
    check();
    ASSERT_TRUE(window->Button2->isEnabled());
    update();
    const QStringList expected = {
        "Odczyt konfiguracji nodarix-a ...", "Konfiguracja odczytana.", "Odczyt tekstów nodarix-a ...",
        "Teksty odczytane.", "Konwersja konfiguracji ...", "Konwersja OK.", "KOPIA", "Zerowanie konfiguracji nodarix-a ...",
        "Zerowanie OK.", "Aktualizowanie nodarix-a ...", "Aktualizowanie OK.", "Restart nodarix-a ...", "Konwersja OK.",
        "Przywracanie konfiguracji nodarix-a ...", "Konfiguracja OK.", "Przywracanie tekstów nodarix-a ...",
        "Teksty OK.", "Aktualizacja zakończona."};
    ASSERT_EQ(statuses.size(), expected.size()) << statuses.join(QLatin1Char('|')).toStdString();
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (expected[i] == QLatin1String("KOPIA"))
            EXPECT_TRUE(statuses[i].startsWith(QStringLiteral("Kopia konfiguracji: "))) << statuses[i].toStdString();
        else
            EXPECT_EQ(statuses[i], expected[i]);
    }
    EXPECT_EQ(status(), QStringLiteral("Aktualizacja zakończona."));
    EXPECT_EQ(bar()->maximum(), 614400);
    EXPECT_EQ(bar()->value(), 614400);
    for (int end : {8192, 40960, 49152, 573440, 581632, 614400})
        EXPECT_TRUE(positions.contains(end)) << end;
    EXPECT_FALSE(window->Button2->isEnabled()) << "a new check is needed before the next update";
    EXPECT_FALSE(window->Panel->ComboBox2->isEnabled());

    const QDir backup(window->UpdateChain->BackupFolder);
    EXPECT_EQ(backup.absolutePath().section(QLatin1Char('/'), 0, -2), QDir(dir.path()).absolutePath());
    EXPECT_EQ(readFile(backup.filePath(QLatin1String(kBackupSettingsFile))), demo.settings);
    EXPECT_EQ(readFile(backup.filePath(QLatin1String(kBackupTextsFile))), demo.texts);
    const QByteArray converted = DemoQpaImages::bytesOf(window->UpdateChain->NodarixQPAConfig);
    const QByteArray convertedTexts = DemoQpaImages::bytesOf(window->UpdateChain->NodarixQPAText);
    sim->stop();
    EXPECT_EQ(exported("qpa-settings"), converted);
    EXPECT_EQ(exported("qpa-texts"), convertedTexts);
    EXPECT_TRUE(sim->log().contains("now running firmware V4.1.3"));
}

TEST_F(UpdateWindow, QpaPathWithoutConversionLeavesAnEmptyConfiguration) {
    const auto sim = startSim({"--version-text", "V4.1.2", "--jumper"}, true);
    check();
    window->CheckBox1->setChecked(false);
    update();
    EXPECT_EQ(status(), QStringLiteral("Aktualizacja zakończona."));
    EXPECT_FALSE(statuses.contains(QStringLiteral("Odczyt konfiguracji nodarix-a ...")));
    ASSERT_FALSE(positions.isEmpty());
    EXPECT_GE(*std::min_element(positions.begin(), positions.end()), 40960) << "the bar runs from 40960";
    EXPECT_EQ(bar()->value(), 614400);
    EXPECT_TRUE(window->UpdateChain->BackupFolder.isEmpty());
    sim->stop();
    EXPECT_EQ(exported("qpa-settings"), QByteArray(8192, '\0'));
    EXPECT_EQ(exported("qpa-texts"), QByteArray(32768, '\0'));
}

TEST_F(UpdateWindow, QpbPathWritesFirmwareThenResourcesOverANewConnection) {
    const auto sim = startSim({"--edition", "QPB", "--version-text", "V4.1.0", "--jumper", "--language", "IT"}, false);
    check();
    EXPECT_FALSE(window->CheckBox1->isEnabled());
    update();
    EXPECT_EQ(statuses, QStringList({"Aktualizowanie nodarix-a ...", "Aktualizowanie OK.", "Restart nodarix-a ...",
                                     "Przywracanie zasobów nodarix-a ...", "Aktualizacja zakończona."}));
    EXPECT_EQ(bar()->maximum(), 1048576);
    EXPECT_EQ(bar()->value(), 1048576);
    EXPECT_TRUE(positions.contains(524288));
    qint32 freeSpace = 0;
    TFlashImageBuilder builder;
    ASSERT_TRUE(builder.Build(QStringLiteral("F405"), QStringLiteral("IT"), false, TResCfg{}, freeSpace));
    sim->stop();
    EXPECT_EQ(exported("flash"), QByteArray(reinterpret_cast<const char*>(builder.Image()), kFlashImageBytes));
    EXPECT_TRUE(sim->log().contains("boot: F405 firmware image")) << sim->log().toStdString();
    EXPECT_EQ(sim->log().count("restart requested"), 1);
}

struct FailureCase {
    const char* name;
    QStringList args;    // the simulator's edition and fault
    bool cleared;        // the failure comes after the QPA settings were cleared
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class UpdateFailure : public UpdateWindow, public ::testing::WithParamInterface<FailureCase> {};

// A block write is faulted after `after` good ones: 32 zeroed settings blocks, 2048 flash blocks,
// 32 settings blocks and 128 text blocks in this order on the QPA path.
TEST_P(UpdateFailure, EndsWithTheSpecifiedTextAndABackupFromTheZeroingOn) {
    const FailureCase& c = GetParam();
    const auto sim = startSim(QStringList{"--jumper", "--version-text", "V4.0.1"} + c.args, true);
    check();
    ASSERT_TRUE(window->Button2->isEnabled());
    update();
    EXPECT_TRUE(status().startsWith(QStringLiteral("Błąd: nodarix nie odpowiada."))) << status().toStdString();
    EXPECT_TRUE(window->Button1->isEnabled());
    EXPECT_FALSE(window->Button2->isEnabled());
    const QString folder = window->UpdateChain->BackupFolder;
    if (!c.cleared) {
        EXPECT_EQ(status(), QStringLiteral("Błąd: nodarix nie odpowiada."));
        return;
    }
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(status().endsWith(folder)) << "the status line names the backup";
    sim->stop();

    // The backup's images put the configuration back byte for byte.
    const auto restored = startSim({"--jumper"}, false);
    const QStringList link = {"--host", restored->host(), "--port", QString::number(restored->port())};
    EXPECT_EQ(RunCli(link + QStringList{"write", "qpa-settings", QDir(folder).filePath(kBackupSettingsFile)}).exitCode, 0);
    EXPECT_EQ(RunCli(link + QStringList{"write", "qpa-texts", QDir(folder).filePath(kBackupTextsFile)}).exitCode, 0);
    restored->stop();
    EXPECT_EQ(exported("qpa-settings"), demo.settings);
    EXPECT_EQ(exported("qpa-texts"), demo.texts);
}

INSTANTIATE_TEST_SUITE_P(
    Update, UpdateFailure,
    ::testing::Values(
        FailureCase{"settings_read", {"--fault", "silent,fault-code=0xA0"}, false},
        FailureCase{"texts_read", {"--fault", "silent,fault-code=0xA0,fault-after=32"}, false},
        FailureCase{"zeroing", {"--fault", "silent,fault-code=0xA1"}, true},
        FailureCase{"flash", {"--fault", "silent,fault-code=0xA1,fault-after=40"}, true},
        FailureCase{"settings_restore", {"--fault", "silent,fault-code=0xA1,fault-after=2080"}, true},
        FailureCase{"texts_restore", {"--fault", "silent,fault-code=0xA1,fault-after=2112"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateWindow, QpbFailuresEndWithTheSpecifiedText) {
    for (const char* after : {"0", "2048"}) {
        const auto sim = startSim({"--edition", "QPB", "--jumper", "--fault",
                                   QStringLiteral("silent,fault-code=0xA1,fault-after=%1").arg(after)},
                                  false);
        check();
        update();
        EXPECT_EQ(status(), QStringLiteral("Błąd: nodarix nie odpowiada.")) << after;
    }
}

struct NothingWrittenCase {
    const char* name;
    QStringList args;
    enum { NoLanguage, PageTooBig, AsSimulated } cause;
    const char* text; // the status text's start
};

void PrintTo(const NothingWrittenCase& c, std::ostream* os) {
    *os << c.name;
}

class UpdateRefusesBeforeWriting : public UpdateWindow, public ::testing::WithParamInterface<NothingWrittenCase> {};

TEST_P(UpdateRefusesBeforeWriting, NothingIsWrittenToTheController) {
    const NothingWrittenCase& c = GetParam();
    const auto sim = startSim(QStringList{"--jumper"} + c.args, true);
    check();
    if (c.cause == NothingWrittenCase::NoLanguage) {
        window->Panel->ComboBox2->setCurrentIndex(-1); // as after a controller language outside the list
    } else if (c.cause == NothingWrittenCase::PageTooBig) {
        const QString page = dir.filePath(QStringLiteral("big.html"));
        ASSERT_TRUE(writeBytes(page, QByteArray(600000, 'x')));
        TResCfg resCfg;
        resCfg.U_Cgi[0] = page;
        ASSERT_TRUE(SaveResCfg(ResCfgPath(dir.path()), resCfg));
    }
    update(!c.args.contains(QStringLiteral("QPB")));
    EXPECT_TRUE(status().startsWith(QString::fromUtf8(c.text))) << status().toStdString();
    sim->stop();
    EXPECT_FALSE(sim->log().contains(" 0xA1 ") || sim->log().contains(" A1 ")) << sim->log().toStdString();
    EXPECT_EQ(exported("qpa-settings"), demo.settings);
}

INSTANTIATE_TEST_SUITE_P(
    Update, UpdateRefusesBeforeWriting,
    ::testing::Values(
        NothingWrittenCase{"qpa_no_language", {}, NothingWrittenCase::NoLanguage, "Błąd: nie określono języka programu."},
        NothingWrittenCase{"qpb_no_language", {"--edition", "QPB"}, NothingWrittenCase::NoLanguage,
                           "Błąd: nie określono języka programu."},
        NothingWrittenCase{"qpa_page_too_big", {}, NothingWrittenCase::PageTooBig,
                           "Błąd: nie można pobrać zasobów programu."},
        NothingWrittenCase{"qpb_page_too_big", {"--edition", "QPB"}, NothingWrittenCase::PageTooBig,
                           "Błąd: nie można pobrać zasobów programu."},
        // Board letter E selects no logic numbering: the text would drop every cell of the logic.
        NothingWrittenCase{"qpa_conversion_would_lose_logic", {"--pcb", "E"}, NothingWrittenCase::AsSimulated,
                           "Błąd: konwersja pominęłaby część konfiguracji: "}),
    [](const auto& info) { return std::string(info.param.name); });
