// The extension module window: its lists against the record, its look, and a whole send against
// a peer on loopback with the outcome answered in a message box.
#include "shell/DataModule.h"
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/SimProcess.h"
#include "tests/support/SimState.h"
#include "tests/windows/WindowChecks.h"
#include "windows/Xetv3Set.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <vector>

namespace {

// The window runs in the application and style the tool gives it: gtest_main provides main(), so
// the application object and the data module (the dark style) are made here, and ended in order.
class WindowsEnvironment : public ApplicationEnvironment<QApplication> {
public:
    void SetUp() override {
        ApplicationEnvironment::SetUp();
        QApplication::setQuitOnLastWindowClosed(false); // the tests close windows and go on
        if (!DataModule1)
            dataModule = std::make_unique<TDataModule1>();
    }
    void TearDown() override {
        dataModule.reset();
        ApplicationEnvironment::TearDown();
    }

private:
    std::unique_ptr<TDataModule1> dataModule;
};

[[maybe_unused]] ::testing::Environment* const kWindowsEnvironment =
    ::testing::AddGlobalTestEnvironment(new WindowsEnvironment);

const QString kNoAnswer = QStringLiteral("Błąd, Nodarix nie odpowiada.");
const QString kCommError = QStringLiteral("Błąd komunikacji ze Nodarix-em.");
const QString kDone = QStringLiteral("Ustawienia zostały przekazane do Nodarix-a.");

QByteArray recordBytes(const TXet16& x) {
    return QByteArray(reinterpret_cast<const char*>(&x), sizeof x);
}

void choose(QComboBox* box, const QString& entry) {
    const int i = box->findText(entry);
    ASSERT_GE(i, 0) << entry.toStdString();
    box->setCurrentIndex(i);
}

class XetWindow : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TfmWindows_Xetv3_Set>();
        // Never leave the default controller address in place: nothing but loopback is contacted.
        window->EditAddress->setText(QStringLiteral("127.0.0.1"));
        window->setPoolTimeouts(700, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override { window.reset(); }

    void pointAt(quint16 port) { window->EditPort->setText(QString::number(port)); }
    void pressProgram() { QTest::mouseClick(window->Button1, Qt::LeftButton); }

    std::unique_ptr<TfmWindows_Xetv3_Set> window;
};

TEST_F(XetWindow, StartsWithTheDefaultsAndAStoppedTimer) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ustawienia modułu rozszerzeń Xet16"));
    EXPECT_EQ(window->size(), QSize(663, 673));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()); // not resizable
    EXPECT_FALSE(window->Timer1->isActive());
    EXPECT_EQ(window->Timer1->interval(), 100);
    EXPECT_EQ(window->EditPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(window->EditPassword->maxLength(), 16);
    for (int n = 0; n < kXet16Inputs; ++n)
        EXPECT_EQ(window->EditRom1[n]->maxLength(), 16);

    TfmWindows_Xetv3_Set fresh;
    EXPECT_EQ(fresh.EditAddress->text(), QStringLiteral("192.168.0.177"));
    EXPECT_EQ(fresh.EditPort->text(), QStringLiteral("7080"));
    EXPECT_EQ(fresh.EditPassword->text(), QStringLiteral("8052"));
    const TXet16Request r = BuildXet16(fresh.choices());
    TXet16 expected{};
    std::memset(&expected, 0, sizeof expected);
    expected.S_Bits = 1;
    SetXet16Speed(expected, 9600);
    EXPECT_EQ(recordBytes(r.Record), recordBytes(expected));
    EXPECT_EQ(r.No, 0);
}

// The entries as the user reads them must land on the values the module understands.
TEST_F(XetWindow, ListEntriesGiveTheRecordValues) {
    choose(window->ComboBoxInputMode[2], QStringLiteral("Identyfikacja (MP) DS1990A"));
    choose(window->ComboBoxInputMode[0], QStringLiteral("Temperatura i wilgotność DHT22"));
    choose(window->ComboBoxPortMode[3], QStringLiteral("Modulator PWM"));
    choose(window->ComboBoxOutput[0], QStringLiteral("DMX Kanał 16"));
    choose(window->ComboBoxOutput[1], QStringLiteral("PWM Port 3"));
    choose(window->ComboBoxOutput[2], QStringLiteral("PWM Port 5"));
    choose(window->ComboBoxOutput[7], QStringLiteral("PWM Port 6"));
    choose(window->ComboBoxSerialMode, QStringLiteral("Port DMX"));
    choose(window->ComboBoxDataBits, QStringLiteral("7"));
    choose(window->ComboBoxParity, QStringLiteral("Space"));
    choose(window->ComboBoxStopBits, QStringLiteral("1.5"));
    choose(window->ComboBoxProgramAs, QStringLiteral("4"));
    choose(window->ComboBoxModule, QStringLiteral("3"));
    const TXet16Request r = BuildXet16(window->choices());
    const TXet16& x = r.Record;
    EXPECT_EQ(x.A_PortMode[0], 4);
    EXPECT_EQ(x.A_PortMode[2], 6);
    EXPECT_EQ(x.D_PortMode[3], 1);
    EXPECT_EQ(x.A_OutMap[0], 16);
    EXPECT_EQ(x.A_OutMap[1], 252);
    EXPECT_EQ(x.A_OutMap[2], 254);
    EXPECT_EQ(x.A_OutMap[7], 255);
    EXPECT_EQ(x.S_PortMode, 2);
    EXPECT_EQ(x.S_Bits, 0);
    EXPECT_EQ(x.S_Parity, 4);
    EXPECT_EQ(x.S_Stops, 1);
    EXPECT_EQ(x.I2CAddr, 3);
    EXPECT_EQ(r.No, 2);
}

// Tab walks the controls in reading order: inputs 1 to 3 (list, ROM 1, ROM 2), ports, outputs,
// serial settings, module number, then the controller fields and "Programuj".
TEST_F(XetWindow, TabOrderFollowsTheLayout) {
    std::vector<QWidget*> expected;
    for (int n = 0; n < kXet16Inputs; ++n)
        expected.insert(expected.end(),
                        {window->ComboBoxInputMode[n], window->EditRom1[n], window->EditRom2[n]});
    expected.insert(expected.end(), window->ComboBoxPortMode.begin(), window->ComboBoxPortMode.end());
    expected.insert(expected.end(), window->ComboBoxOutput.begin(), window->ComboBoxOutput.end());
    expected.insert(expected.end(), {window->ComboBoxSerialMode, window->EditSpeed, window->ComboBoxDataBits,
                                     window->ComboBoxParity, window->ComboBoxStopBits,
                                     window->ComboBoxProgramAs, window->EditAddress, window->EditPort,
                                     window->EditPassword, window->ComboBoxModule, window->Button1});
    std::vector<QWidget*> walked;
    QWidget* w = expected.front();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        walked.push_back(w);
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(window.get()));
    }
    EXPECT_EQ(walked, expected);
}

// Every caption, list and button shows its whole text inside the window; no two controls overlap.
// A look at the window: NODARIX_SCREENSHOT_DIR=DIR saves it as DIR/xet16.png.
TEST_F(XetWindow, NothingIsClippedOrOverlapping) {
    window->EditAddress->setText(QStringLiteral("192.168.0.177")); // shown only; nothing is sent here
    SaveScreenshot(*window, QStringLiteral("xet16.png"));
    EXPECT_GT(ExpectNothingClippedOrOverlapping(*window), 60u);
}

// A speed the module's 16-bit field cannot hold is refused before anything is sent.
TEST_F(XetWindow, SpeedAbove65535IsRefusedWithAWarning) {
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost));
    pointAt(peer.serverPort());
    window->EditSpeed->setText(QStringLiteral("115200"));
    BoxAnswerer answerer;
    pressProgram();
    ASSERT_TRUE(answerer.waitForBoxes(1));
    EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(answerer.boxes[0].text.contains(QStringLiteral("115200")));
    EXPECT_TRUE(answerer.boxes[0].text.contains(QStringLiteral("65535")));
    EXPECT_EQ(answerer.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(window->CommTask, nullptr);
    EXPECT_EQ(window->Id, 0);
    EXPECT_FALSE(window->Timer1->isActive());
    QTest::qWait(200);
    EXPECT_FALSE(peer.hasPendingConnections());
}

class XetWindowUnreachable : public XetWindow, public ::testing::WithParamInterface<bool> {};

// A closed port, or an empty address passed on unchanged: the worker cannot connect.
TEST_P(XetWindowUnreachable, GivesTheWarningBoxOnce) {
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    pointAt(closedPort);
    if (GetParam())
        window->EditAddress->clear();
    BoxAnswerer answerer;
    pressProgram();
    EXPECT_TRUE(window->Timer1->isActive());
    ASSERT_TRUE(answerer.waitForBoxes(1));
    EXPECT_EQ(answerer.boxes[0].text, kNoAnswer);
    EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(answerer.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_FALSE(window->Timer1->isActive());
    QTest::qWait(300);
    EXPECT_EQ(answerer.boxes.size(), 1u); // the end state is reported once
}

INSTANTIATE_TEST_SUITE_P(Cases, XetWindowUnreachable, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "EmptyAddress" : "ClosedPort");
                         });

class XetWindowWithSim : public XetWindow {
protected:
    void startSim(const QStringList& options = {}) {
        sim = std::make_unique<SimProcess>(QStringList{QStringLiteral("--state"), stateFile()} + options);
        ASSERT_TRUE(sim->started()) << sim->failure().toStdString();
        pointAt(sim->port());
    }
    QString stateFile() const { return dir.filePath(QStringLiteral("sim.state")); }
    std::map<int, QByteArray> waitForRecords(std::size_t count) {
        std::map<int, QByteArray> records;
        [[maybe_unused]] const bool all =
            QTest::qWaitFor([&] { return (records = StoredExtRecords(stateFile())).size() >= count; }, 3000);
        return records;
    }

    QTemporaryDir dir;
    std::unique_ptr<SimProcess> sim;
};

TEST_F(XetWindowWithSim, ProgramsTheModuleThroughTheController) {
    startSim();
    window->EditRom1[0]->setText(QStringLiteral("28FF64G1"));
    window->EditRom2[2]->setText(QStringLiteral("28FF"));
    choose(window->ComboBoxOutput[2], QStringLiteral("PWM Port 5"));
    choose(window->ComboBoxOutput[7], QStringLiteral("DMX Kanał 16"));
    choose(window->ComboBoxDataBits, QStringLiteral("7"));
    window->EditSpeed->setText(QStringLiteral("abc"));
    choose(window->ComboBoxProgramAs, QStringLiteral("2"));
    choose(window->ComboBoxModule, QStringLiteral("4"));
    BoxAnswerer answerer;
    pressProgram();
    ASSERT_TRUE(answerer.waitForBoxes(1));
    EXPECT_EQ(answerer.boxes[0].text, kDone);
    EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Information);
    EXPECT_EQ(answerer.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_FALSE(window->Timer1->isActive());

    QByteArray expected(166, '\0');
    expected.replace(3, 8, QByteArray::fromHex("28FF640000000000"));  // input 1, first ROM
    expected.replace(43, 8, QByteArray::fromHex("28FF000000000000")); // input 3, second ROM
    expected[57] = char(254);                                         // output 3: PWM port 5
    expected[62] = char(16);                                          // output 8: DMX channel 16
    expected[64] = char(0x80);                                        // speed abc: 9600
    expected[65] = char(0x25);
    expected[66] = 0; // 7 data bits
    expected[69] = 1; // programmed as module 2
    const auto records = waitForRecords(1);
    ASSERT_EQ(records.size(), 1u);
    ASSERT_EQ(records.begin()->first, 3) << "request code 0x23 for module 4";
    EXPECT_EQ(records.begin()->second.toHex(), expected.toHex());
    EXPECT_EQ(recordBytes(window->Xet16).toHex(), expected.toHex());
    QTest::qWait(300);
    EXPECT_EQ(answerer.boxes.size(), 1u);
}

struct FaultCase {
    const char* name;
    QStringList fault;
    QString text;
    QMessageBox::Icon icon;
    bool moduleGotIt; // the controller took the record although its answer was not a clean yes
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class XetWindowFaults : public XetWindowWithSim, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(XetWindowFaults, OneBoxWithTheOutcome) {
    startSim(QStringList{QStringLiteral("--fault")} + GetParam().fault);
    BoxAnswerer answerer;
    pressProgram();
    ASSERT_TRUE(answerer.waitForBoxes(1));
    EXPECT_EQ(answerer.boxes[0].text, GetParam().text);
    EXPECT_EQ(answerer.boxes[0].icon, GetParam().icon);
    EXPECT_EQ(answerer.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_FALSE(window->Timer1->isActive());
    QTest::qWait(300);
    EXPECT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(StoredExtRecords(stateFile()).size(), GetParam().moduleGotIt ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XetWindowFaults,
    ::testing::Values(
        FaultCase{"Silent", {QStringLiteral("silent")}, kNoAnswer, QMessageBox::Warning, false},
        FaultCase{"Refused", {QStringLiteral("ack=0")}, kCommError, QMessageBox::Critical, false},
        FaultCase{"MeaninglessResult", {QStringLiteral("ack=2")}, kCommError, QMessageBox::Critical, false},
        FaultCase{
            "MalformedReply", {QStringLiteral("wrong-length")}, kCommError, QMessageBox::Critical, true}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

// A second press sends the choices of that moment as a new task; only its outcome is shown.
TEST_F(XetWindowWithSim, PressingAgainReplacesTheTask) {
    startSim();
    choose(window->ComboBoxOutput[0], QStringLiteral("DMX Kanał 1"));
    BoxAnswerer answerer;
    pressProgram();
    const qint32 first = window->Id;
    choose(window->ComboBoxModule, QStringLiteral("2"));
    choose(window->ComboBoxOutput[0], QStringLiteral("PWM Port 6"));
    pressProgram();
    EXPECT_EQ(window->Id, first + 1);
    ASSERT_TRUE(answerer.waitForBoxes(1));
    QTest::qWait(300);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].text, kDone);

    const auto records = waitForRecords(2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(quint8(records.at(0)[55]), 1);   // the first press, to module 1
    EXPECT_EQ(quint8(records.at(1)[55]), 255); // the second, to module 2
}

TEST_F(XetWindowWithSim, ClosingWhileATaskRunsJoinsTheWorker) {
    window->setPoolTimeouts(700, 1500);
    startSim({QStringLiteral("--fault"), QStringLiteral("silent")});
    BoxAnswerer answerer;
    pressProgram();
    ASSERT_NE(window->CommTask, nullptr);
    ASSERT_EQ(window->CommTask->CommThreads.size(), 1u);
    // Let the worker connect and send, so that it is waiting for the reply when the window closes.
    QTest::qWait(300);

    // Closing joins the worker, which first waits out its 1500 ms read time-out.
    QElapsedTimer closing;
    closing.start();
    window->close();
    EXPECT_GE(closing.elapsed(), 1000);
    EXPECT_EQ(window->CommTask, nullptr);
    EXPECT_FALSE(window->Timer1->isActive());
    QTest::qWait(200);
    EXPECT_TRUE(answerer.boxes.empty());
}

} // namespace
