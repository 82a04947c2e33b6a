// The settings window against the simulator: the read, write, HTTP and recognition chains with
// their status texts and progress, text files, clearing, and a read written back unchanged.
// The application object and the dark style come from the environment of xetv3set_test.cpp,
// which is part of the same test program.
#include "config/ConfigError.h"
#include "config/ConfigText.h"
#include "config/RawImport.h"
#include "tests/config/populated_config.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TestFiles.h"
#include "tests/windows/WindowChecks.h"
#include "tests/windows/SettingsWindowFixture.h"
#include "windows/NodarixSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {

QByteArray bytesOf(const void* data, std::size_t size) {
    return QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(size));
}
template <class Record> QByteArray bytesOf(const Record& r) {
    return bytesOf(&r, sizeof r);
}

// Images of a fully populated configuration of an edition, as a controller would hold them.
struct PopulatedImages {
    std::unique_ptr<TSettingsImages> images = std::make_unique<TSettingsImages>();
    explicit PopulatedImages(bool qpb) {
        const TTextRead read =
            TextToImages(*images, qpb ? kEditionQPB : kEditionQPA, testcfg::populatedText({.qpb = qpb}), false);
        EXPECT_TRUE(read.Ok) << read.Status.toStdString();
    }
    QByteArray settings(bool qpb) const {
        return qpb ? bytesOf(images->NodarixQPBConfig) : bytesOf(images->NodarixQPAConfig);
    }
    QByteArray companion(bool qpb) const {
        return qpb ? bytesOf(images->NodarixQPBVars) : bytesOf(images->NodarixQPAText);
    }
};

struct EditionCase {
    const char* name;
    bool qpb;
    const char* pcb = "D";
    bool lossy = false; // the text cannot carry everything for this board
};

class SettingsWindowRead : public SettingsWindow, public ::testing::WithParamInterface<EditionCase> {};
class SettingsWindowRoundTrip : public SettingsWindow, public ::testing::WithParamInterface<EditionCase> {};

// Every position is 0, a step's end value, or base + Progres x factor of its step (Progres 0 to 100).
bool isProgressOfTheTable(const QList<int>& positions, bool qpb) {
    const int settingsEnd = qpb ? 65536 : 8192, maximum = qpb ? 82176 : 40960;
    const int settingsFactor = qpb ? 655 : 81, companionFactor = qpb ? 166 : 327;
    for (int p : positions) {
        const bool settingsStep = p % settingsFactor == 0 && p / settingsFactor <= 100;
        const bool companionStep = p >= settingsEnd && (p - settingsEnd) % companionFactor == 0 &&
                                   (p - settingsEnd) / companionFactor <= 100;
        if (!(settingsStep || companionStep || p == settingsEnd || p == maximum))
            return false;
    }
    return true;
}

const auto kEditions = ::testing::Values(EditionCase{"Qpa", false}, EditionCase{"Qpb", true});
const auto kEditionName = [](const auto& info) { return std::string(info.param.name); };

} // namespace

TEST_F(SettingsWindow, StartsWithItsControlsAndTheClearedConfiguration) {
    SaveScreenshot(*window, QStringLiteral("settings-fresh.png"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ustawienia nodarix-a"));
    EXPECT_EQ(window->SettingsGroup->title(), QStringLiteral("Ustawienia nodarix-a"));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()); // not resizable
    const std::pair<QPushButton*, const char*> buttons[] = {
        {window->Button1, "Odczytaj konfigurację ze Nodarix-a"}, {window->Button2, "Zapisz konfigurację do Nodarix-a"},
        {window->Button3, "Zapisz konfigurację do pliku"},       {window->Button4, "Odczytaj konfigurację z pliku"},
        {window->Button5, "Dołącz konfigurację z pliku"},        {window->Button6, "Odczytaj ustawienia z pliku NDC"},
        {window->Button7, "Odczytaj teksty z pliku NDT"},        {window->Button9, "Wyczyść ustawienia"},
        {window->Button10, "Włącz serwer HTTP"},                 {window->Button11, "Wyłącz serwer HTTP"},
        {window->Panel->Button8, "Rozpoznaj Nodarix-a"}};
    for (const auto& [button, caption] : buttons) {
        EXPECT_EQ(button->text(), QString::fromUtf8(caption));
        const bool startsEnabled = button != window->Button2 && button != window->Button4 && button != window->Button5;
        EXPECT_EQ(button->isEnabled(), startsEnabled) << caption;
    }
    EXPECT_EQ(window->CheckBox1->text(), QStringLiteral("Uwzględnij tylko skonfigurowane zasoby"));
    EXPECT_TRUE(window->CheckBox1->isChecked());
    EXPECT_TRUE(window->Memo2->toPlainText().isEmpty());
    EXPECT_EQ(window->Memo2->font().family(), QStringLiteral("Courier New"));
    EXPECT_FALSE(window->Memo2->isReadOnly());
    EXPECT_EQ(bar()->maximum(), 40960);
    EXPECT_FALSE(window->Panel->ComboBox1->isEnabled());
    for (QTimer* t : {window->Timer1, window->Timer2, window->Timer3, window->Timer4, window->Timer5, window->Timer7,
                      window->Timer8, window->Timer9}) {
        EXPECT_FALSE(t->isActive());
        EXPECT_EQ(t->interval(), 100);
    }
    EXPECT_TRUE(window->Timer6->isActive());

    EXPECT_EQ(TfmWindows_Nodarix_Set::SaveDialog1.Filter, QStringLiteral("Ustawienia tekstowe (*.ndrx)"));
    EXPECT_TRUE(TfmWindows_Nodarix_Set::SaveDialog1.Save);
    EXPECT_EQ(TfmWindows_Nodarix_Set::OpenDialog1.DefaultExtension, QStringLiteral("ndrx"));
    EXPECT_EQ(TfmWindows_Nodarix_Set::OpenDialog2.Filter, QStringLiteral("Teksty nodarix-a (*.ndt)"));
    EXPECT_EQ(TfmWindows_Nodarix_Set::OpenDialog3.Filter, QStringLiteral("Ustawienia nodarix-a (*.ndc)"));
}

TEST_F(SettingsWindow, FirstShowAndClearLeaveOnlyTheCircuitParametersSet) {
    TfmWindows_Nodarix_Set fresh;
    std::memset(&fresh.Images->NodarixQPAConfig, 0x5A, sizeof fresh.Images->NodarixQPAConfig);
    std::memset(&fresh.Images->NodarixQPBVars, 0x5A, sizeof fresh.Images->NodarixQPBVars);
    fresh.Images->Settings = QStringLiteral("kept");
    fresh.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh));
    TSettingsImages cleared;
    std::memset(&cleared.NodarixQPAConfig, 0, sizeof cleared.NodarixQPAConfig);
    std::memset(cleared.NodarixQPAConfig.D_CirParam, 1, sizeof cleared.NodarixQPAConfig.D_CirParam);
    EXPECT_EQ(bytesOf(fresh.Images->NodarixQPAConfig), bytesOf(cleared.NodarixQPAConfig));
    EXPECT_EQ(bytesOf(fresh.Images->NodarixQPBVars), QByteArray(sizeof(TNodarixQPBVars), '\0'));
    EXPECT_EQ(fresh.Images->Settings, QStringLiteral("kept"));

    fresh.Memo2->setPlainText(QStringLiteral("something"));
    std::memset(&fresh.Images->NodarixQPBConfig, 0x33, sizeof fresh.Images->NodarixQPBConfig);
    QTest::mouseClick(fresh.Button9, Qt::LeftButton);
    EXPECT_TRUE(fresh.Memo2->toPlainText().isEmpty());
    const QByteArray qpb = bytesOf(fresh.Images->NodarixQPBConfig);
    EXPECT_EQ(qpb.count('\x01'), 256);
    EXPECT_EQ(qpb.mid(offsetof(TNodarixQPBConfig, D_CirParam), 256), QByteArray(256, '\x01'));
    EXPECT_EQ(qpb.count('\0'), 65536 - 256);
}

TEST_P(SettingsWindowRead, ReadsTheWholeConfigurationWithEveryStatusAndProgress) {
    const bool qpb = GetParam().qpb;
    SimProcess sim({"--edition", qpb ? "QPB" : "QPA", "--version-text", "V4.1.7"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    pointAt(sim);
    run(window->Button1);

    const QString companionRead = qpb ? QStringLiteral("Odczyt zmiennych nodarix-a ...") : QStringLiteral("Odczyt tekstów nodarix-a ...");
    const QString companionDone = qpb ? QStringLiteral("Zmienne odczytane.") : QStringLiteral("Teksty odczytane.");
    EXPECT_EQ(statuses, (QStringList{"Odczyt numeru wersji Nodarix-a ...", "Wersja OK.", "V4.1.7",
                                     "Odczyt konfiguracji nodarix-a ...", "Konfiguracja odczytana.", companionRead,
                                     companionDone, "Konfiguracja OK."}));
    EXPECT_EQ(status(), QStringLiteral("Konfiguracja OK."));
    const int maximum = qpb ? 82176 : 40960, settingsEnd = qpb ? 65536 : 8192;
    EXPECT_EQ(bar()->maximum(), maximum);
    EXPECT_EQ(bar()->value(), maximum);
    EXPECT_TRUE(positions.contains(settingsEnd));
    EXPECT_TRUE(isProgressOfTheTable(positions, qpb));
    EXPECT_EQ(window->Memo2->toPlainText() + QStringLiteral("\n"),
              QString(window->Images->Settings).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    // Reading needs no recognition and enables nothing that recognition would.
    EXPECT_FALSE(window->Button2->isEnabled());
    EXPECT_EQ(window->Panel->EditionIndex(), kEditionNone);
}

INSTANTIATE_TEST_SUITE_P(Editions, SettingsWindowRead, kEditions, kEditionName);

TEST_F(SettingsWindow, ReadFailingAtTheTextsKeepsTheSettingsImageAndThePreview) {
    PopulatedImages seed(false);
    const QString settingsFile = dir.filePath(QStringLiteral("settings.bin"));
    ASSERT_TRUE(writeBytes(settingsFile, seed.settings(false)));
    // The version, the read start and 32 settings blocks succeed; the texts step gets a wrong code.
    SimProcess sim({"--edition", "QPA", "--seed", "qpa-settings=" + settingsFile, "--fault", "wrong-code",
                    "--fault", "fault-after=34"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    window->Memo2->setPlainText(QStringLiteral("earlier text"));
    pointAt(sim);
    run(window->Button1);
    EXPECT_EQ(status(), QStringLiteral("Błąd: błąd komunikacji ze nodarix-em."));
    EXPECT_EQ(statuses.mid(statuses.size() - 2),
              (QStringList{"Odczyt tekstów nodarix-a ...", "Błąd: błąd komunikacji ze nodarix-em."}));
    EXPECT_EQ(bytesOf(window->Images->NodarixQPAConfig), seed.settings(false));
    EXPECT_EQ(window->Memo2->toPlainText(), QStringLiteral("earlier text"));
    EXPECT_FALSE(window->Timer3->isActive());
    SaveScreenshot(*window, QStringLiteral("settings-failure.png"));
}

namespace {

struct EarlyEnd {
    const char* name;
    QStringList simArguments;
    const char* status;
};

class SettingsWindowReadEnd : public SettingsWindow, public ::testing::WithParamInterface<EarlyEnd> {};

} // namespace

TEST_P(SettingsWindowReadEnd, EndsTheReadAtTheVersionWithItsText) {
    SimProcess sim(GetParam().simArguments);
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    pointAt(sim);
    run(window->Button1);
    EXPECT_EQ(status(), QString::fromUtf8(GetParam().status));
    EXPECT_FALSE(window->Timer1->isActive());
    EXPECT_FALSE(window->Timer2->isActive());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsWindowReadEnd,
    ::testing::Values(EarlyEnd{"Silent", {"--fault", "silent"}, "Błąd: nodarix nie odpowiada."},
                      EarlyEnd{"NeitherEdition", {"--realization", "XYZ1"}, "Błąd: nierozpoznana wersja nodarix-a."}),
    kEditionName);

// Read, recognise, write: the controller's images come back exactly as they were.
TEST_P(SettingsWindowRoundTrip, ReadThenWriteLeavesTheControllerImagesByteIdentical) {
    const bool qpb = GetParam().qpb;
    PopulatedImages seed(qpb);
    const QString settingsFile = dir.filePath(QStringLiteral("settings.bin"));
    const QString companionFile = dir.filePath(QStringLiteral("companion.bin"));
    const QString state = dir.filePath(QStringLiteral("state"));
    ASSERT_TRUE(writeBytes(settingsFile, seed.settings(qpb)));
    ASSERT_TRUE(writeBytes(companionFile, seed.companion(qpb)));
    const QString settingsKind = qpb ? QStringLiteral("qpb-settings") : QStringLiteral("qpa-settings");
    const QString companionKind = qpb ? QStringLiteral("qpb-vars") : QStringLiteral("qpa-texts");
    {
        SimProcess sim({"--edition", qpb ? "QPB" : "QPA", "--pcb", GetParam().pcb, "--state", state, "--seed",
                        settingsKind + "=" + settingsFile, "--seed", companionKind + "=" + companionFile});
        ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
        pointAt(sim);
        run(window->Button1);
        if (GetParam().lossy) {
            EXPECT_TRUE(status().startsWith(QStringLiteral("Uwaga: tekst nie oddaje całej konfiguracji (Logika")))
                << status().toStdString();
            EXPECT_FALSE(window->ReadChain->Losses().isEmpty());
        } else {
            ASSERT_EQ(status(), QStringLiteral("Konfiguracja OK."));
        }
        run(window->Panel->Button8);
        ASSERT_EQ(window->Panel->EditionIndex(), qpb ? kEditionQPB : kEditionQPA);
        run(window->Button2);
        const QString companionWrite = qpb ? QStringLiteral("Zapis zmiennych Nodarix-a ...") : QStringLiteral("Zapis tekstów Nodarix-a ...");
        const QString companionDone = qpb ? QStringLiteral("Zmienne zapisane.") : QStringLiteral("Teksty zapisane.");
        EXPECT_EQ(statuses, (QStringList{"Zapis konfiguracji Nodarix-a.", "Konfiguracja zapisana.", companionWrite,
                                         companionDone}));
        EXPECT_EQ(bar()->value(), qpb ? 82176 : 40960);
        EXPECT_EQ(bar()->maximum(), qpb ? 82176 : 40960);
        EXPECT_TRUE(isProgressOfTheTable(positions, qpb));
        ASSERT_EQ(sim.stop(), 0);
    }
    const QString settingsOut = dir.filePath(QStringLiteral("settings.out"));
    const QString companionOut = dir.filePath(QStringLiteral("companion.out"));
    const auto exported = SimProcess::run({"--state", state, "--export", settingsKind + "=" + settingsOut, "--export",
                                           companionKind + "=" + companionOut});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    EXPECT_EQ(readFile(settingsOut), seed.settings(qpb));
    EXPECT_EQ(readFile(companionOut), seed.companion(qpb));
}

// With a board letter the logic numbering does not know, the text leaves the logic out; the window
// then keeps the images as read, says so, and the write still returns them unchanged.
INSTANTIATE_TEST_SUITE_P(Editions, SettingsWindowRoundTrip,
                         ::testing::Values(EditionCase{"Qpa", false}, EditionCase{"Qpb", true},
                                           EditionCase{"QpaUnknownBoard", false, "A", true}),
                         kEditionName);

struct WriteFault {
    const char* name;
    QStringList simArguments;
};

class SettingsWindowWriteFault : public SettingsWindow, public ::testing::WithParamInterface<WriteFault> {};

TEST_P(SettingsWindowWriteFault, EveryWriteFailureShowsTheWriteErrorText) {
    SimProcess sim(GetParam().simArguments);
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    pointAt(sim);
    run(window->Panel->Button8); // the first exchange is answered correctly
    ASSERT_EQ(window->Panel->EditionIndex(), kEditionQPA);
    run(window->Button2);
    EXPECT_EQ(status(), QStringLiteral("Błąd zapisu Nodarix-a."));
    EXPECT_EQ(statuses, (QStringList{"Zapis konfiguracji Nodarix-a.", "Błąd zapisu Nodarix-a."}));
    EXPECT_FALSE(window->Timer4->isActive());
    EXPECT_TRUE(window->Button2->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SettingsWindowWriteFault,
    ::testing::Values(WriteFault{"WrongCode", {"--fault", "wrong-code", "--fault", "fault-after=1"}},
                      WriteFault{"Silent", {"--fault", "silent", "--fault", "fault-after=1"}},
                      WriteFault{"Closed", {"--fault", "close-after=1"}}),
    kEditionName);

TEST_F(SettingsWindow, WriteWithoutEditionSaysSoAndStartsNothing) {
    // Marks set by an earlier recognition stay when a later one fails; the edition box is then empty.
    window->Panel->SetMark(window->Button2);
    window->Panel->EnableControls();
    QTest::mouseClick(window->Button2, Qt::LeftButton);
    EXPECT_EQ(status(), QStringLiteral("Błąd: nie rozpoznano typu Nodarix-a."));
    EXPECT_FALSE(window->Timer4->isActive());
    EXPECT_TRUE(window->Button1->isEnabled());
    EXPECT_EQ(window->Panel->CommTask, nullptr);
}

TEST_F(SettingsWindow, RecognitionEnablesFileAndWriteButtonsForGood) {
    {
        SimProcess sim({"--edition", "QPB"});
        ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
        pointAt(sim);
        run(window->Panel->Button8);
        EXPECT_EQ(status(), QStringLiteral("V4.1.3 QPB1"));
        EXPECT_EQ(window->Panel->ComboBox1->currentText(), QStringLiteral("QPB"));
    }
    for (QPushButton* b : {window->Button2, window->Button4, window->Button5})
        EXPECT_TRUE(b->isEnabled());
    SimProcess other({"--realization", "ABC"});
    ASSERT_TRUE(other.started()) << other.failure().toStdString();
    pointAt(other);
    run(window->Panel->Button8);
    EXPECT_EQ(status(), QStringLiteral("Błąd: nierozpoznana wersja nodarix-a."));
    EXPECT_EQ(window->Panel->ComboBox1->currentIndex(), -1);
    for (QPushButton* b : {window->Button2, window->Button4, window->Button5})
        EXPECT_TRUE(b->isEnabled());
}

TEST_F(SettingsWindow, HttpServerOnAndOff) {
    SimProcess sim;
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    pointAt(sim);
    run(window->Button10);
    EXPECT_EQ(statuses, (QStringList{"Włączanie serwera HTTP w Nodarix-ie ...", "Serwer HTTP włączony."}));
    EXPECT_FALSE(window->Timer8->isActive());
    run(window->Button11);
    EXPECT_EQ(statuses, (QStringList{"Wyłączanie serwera HTTP w Nodarix-ie ...", "Serwer HTTP wyłączony."}));
    EXPECT_FALSE(window->Timer9->isActive());

    SimProcess silent({"--fault", "silent"});
    ASSERT_TRUE(silent.started()) << silent.failure().toStdString();
    pointAt(silent);
    run(window->Button10);
    EXPECT_EQ(status(), QStringLiteral("Błąd: nodarix nie odpowiada."));
}

TEST_F(SettingsWindow, ReadingATextFileNeedsAnEditionAndFillsTheImages) {
    const QString text = testcfg::populatedText({.qpb = true});
    chosenFile = dir.filePath(QStringLiteral("lf.ndrx"));
    ASSERT_TRUE(writeBytes(chosenFile, QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toUtf8()));
    window->Panel->SetMark(window->Button4);
    window->Panel->EnableControls();

    QTest::mouseClick(window->Button4, Qt::LeftButton);
    EXPECT_EQ(status(), QStringLiteral("Błąd: nie rozpoznano typu Nodarix-a."));
    EXPECT_FALSE(window->Memo2->toPlainText().isEmpty()); // the preview keeps the loaded file
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].Filter, TfmWindows_Nodarix_Set::OpenDialog1.Filter);

    chooseEdition(kEditionQPB);
    QTest::mouseClick(window->Button4, Qt::LeftButton);
    EXPECT_EQ(status(), QStringLiteral("Konfiguracja Ok."));
    EXPECT_EQ(window->Images->Settings, text); // LF line ends made CR LF
    PopulatedImages expected(true);
    EXPECT_EQ(bytesOf(window->Images->NodarixQPBConfig), expected.settings(true));
    EXPECT_EQ(bytesOf(window->Images->NodarixQPBVars), expected.companion(true));

    chosenFile.clear(); // a cancelled dialog changes nothing
    window->Panel->ShowStatus(QStringLiteral("unchanged"));
    QTest::mouseClick(window->Button4, Qt::LeftButton);
    EXPECT_EQ(status(), QStringLiteral("unchanged"));
}

TEST_F(SettingsWindow, RejectedTextShowsTheReaderMessageAndSelectsTheFailingLine) {
    chosenFile = dir.filePath(QStringLiteral("bad.ndrx"));
    ASSERT_TRUE(writeBytes(chosenFile, "#settings\r\nNoSuchSetting=1\r\n"));
    chooseEdition(kEditionQPA);
    window->Panel->SetMark(window->Button4);
    window->Panel->EnableControls();
    QTest::mouseClick(window->Button4, Qt::LeftButton);
    EXPECT_TRUE(status().startsWith(QStringLiteral("Błąd konfiguracji: "))) << status().toStdString();
    EXPECT_EQ(window->Memo2->textCursor().selectedText(), QStringLiteral("NoSuchSetting=1"));
}

TEST_F(SettingsWindow, AppendingKeepsTheHeldSettingsSection) {
    const QString text = testcfg::populatedText({.qpb = false});
    chooseEdition(kEditionQPA);
    window->Panel->SetMark(window->Button5);
    window->Panel->EnableControls();
    window->Images->NodarixQPAConfig.D_CirParam[0] = 7; // anything the file's settings would not restore
    const QByteArray held = bytesOf(window->Images->NodarixQPAConfig);

    // A file with a settings section only: appending it changes nothing held.
    const qsizetype end = text.indexOf(QStringLiteral("\r\n#"), 2);
    chosenFile = dir.filePath(QStringLiteral("settings.ndrx"));
    ASSERT_TRUE(writeBytes(chosenFile, (text.left(end) + QStringLiteral("\r\n")).toUtf8()));
    QTest::mouseClick(window->Button5, Qt::LeftButton);
    EXPECT_EQ(status(), QStringLiteral("Konfiguracja Ok."));
    EXPECT_EQ(bytesOf(window->Images->NodarixQPAConfig), held);
    EXPECT_EQ(window->Memo2->toPlainText(), text.left(end));
}

TEST_F(SettingsWindow, SavingWritesThePreviewWithCrLfAndAnEmptyPreviewOpensNoDialog) {
    chosenFile = dir.filePath(QStringLiteral("saved.ndrx"));
    QTest::mouseClick(window->Button3, Qt::LeftButton);
    EXPECT_TRUE(dialogs.empty());
    EXPECT_FALSE(QFile::exists(chosenFile));

    window->Memo2->setPlainText(QStringLiteral("#settings\nNazwa=Łódź"));
    QTest::mouseClick(window->Button3, Qt::LeftButton);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].Save);
    EXPECT_EQ(dialogs[0].DefaultExtension, QStringLiteral("ndrx"));
    EXPECT_EQ(readFile(chosenFile), QStringLiteral("#settings\r\nNazwa=Łódź\r\n").toUtf8());
}

namespace {

struct NdcSize {
    const char* name;
    qsizetype size;
    bool accepted;
};

class SettingsWindowNdc : public SettingsWindow, public ::testing::WithParamInterface<NdcSize> {};

} // namespace

TEST_P(SettingsWindowNdc, OnlyAFileOfExactly8192BytesIsImported) {
    PopulatedImages seed(false);
    QByteArray bytes = seed.settings(false);
    bytes.resize(GetParam().size, '\x01');
    chosenFile = dir.filePath(QStringLiteral("old.ndc"));
    ASSERT_TRUE(writeBytes(chosenFile, bytes));
    const QByteArray before = bytesOf(window->Images->NodarixQPAConfig);
    window->Panel->ShowStatus(QStringLiteral("before"));
    QTest::mouseClick(window->Button6, Qt::LeftButton);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].Filter, TfmWindows_Nodarix_Set::OpenDialog3.Filter);
    EXPECT_EQ(dialogs[0].DefaultExtension, QStringLiteral("ndc"));
    if (GetParam().accepted) {
        EXPECT_EQ(status(), QStringLiteral("before"));
        EXPECT_EQ(bytesOf(window->Images->NodarixQPAConfig), bytes);
        EXPECT_TRUE(window->Memo2->toPlainText().contains(QStringLiteral("V4.0.1")));
    } else {
        EXPECT_EQ(status(), QStringLiteral("Błąd: niewłaściwy rozmiar pliku."));
        EXPECT_EQ(bytesOf(window->Images->NodarixQPAConfig), before);
        EXPECT_TRUE(window->Memo2->toPlainText().isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SettingsWindowNdc,
                         ::testing::Values(NdcSize{"OneShort", 8191, false}, NdcSize{"Exact", 8192, true},
                                           NdcSize{"OneOver", 8193, false}),
                         kEditionName);

TEST_F(SettingsWindow, NdtAfterNdcShowsBothAndAMissingFileIsNamed) {
    PopulatedImages seed(false);
    const QString ndc = dir.filePath(QStringLiteral("old.ndc"));
    const QString ndt = dir.filePath(QStringLiteral("old.ndt"));
    ASSERT_TRUE(writeBytes(ndc, seed.settings(false)));
    ASSERT_TRUE(writeBytes(ndt, seed.companion(false)));
    chosenFile = ndc;
    QTest::mouseClick(window->Button6, Qt::LeftButton);
    chosenFile = ndt;
    QTest::mouseClick(window->Button7, Qt::LeftButton);
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].Filter, TfmWindows_Nodarix_Set::OpenDialog2.Filter);
    EXPECT_EQ(bytesOf(window->Images->NodarixQPAText), seed.companion(false));
    EXPECT_EQ(window->Images->Settings, ImportedQPAText(window->Images->NodarixQPAConfig, true,
                                                         window->Images->NodarixQPAText));
    EXPECT_EQ(window->Memo2->toPlainText() + QStringLiteral("\n"),
              QString(window->Images->Settings).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    chosenFile = dir.filePath(QStringLiteral("missing.ndt"));
    QTest::mouseClick(window->Button7, Qt::LeftButton);
    EXPECT_TRUE(status().contains(QStringLiteral("missing.ndt"))) << status().toStdString();
    EXPECT_EQ(bytesOf(window->Images->NodarixQPAText), seed.companion(false));
}

// A look at the window after a QPB read: NODARIX_SCREENSHOT_DIR=DIR saves it as DIR/settings.png.
TEST_F(SettingsWindow, NothingIsClippedAfterAQpbRead) {
    SimProcess sim({"--edition", "QPB"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    pointAt(sim);
    window->CheckBox1->setChecked(false); // the whole text, so that the preview is full
    run(window->Button1);
    ASSERT_EQ(status(), QStringLiteral("Konfiguracja OK."));
    // The picture shows the usual address; it is only shown, nothing is sent to it.
    window->Panel->ComboEdit1->setEditText(QStringLiteral("192.168.0.177"));
    window->Panel->Edit2->setText(QStringLiteral("7080"));
    SaveScreenshot(*window, QStringLiteral("settings.png"));
    EXPECT_GT(ExpectNothingClippedOrOverlapping(*window), 20u);
}

// Closing stops the step timers and releases the pool while a task is still waiting for its answer.
TEST_F(SettingsWindow, ClosingWhileAReadRunsReleasesThePool) {
    SimProcess sim({"--fault", "silent"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    pointAt(sim);
    window->Panel->SetPoolTimeouts(5000, 5000);
    QTest::mouseClick(window->Button1, Qt::LeftButton);
    ASSERT_TRUE(window->Timer1->isActive());
    ASSERT_NE(window->Panel->CommTask, nullptr);
    window->close();
    EXPECT_FALSE(window->Timer1->isActive());
    EXPECT_EQ(window->Panel->CommTask, nullptr);
    window.reset();
}
