// The connection panel the controller windows share: the start of a task, the controller list and
// port takeover, the releasable marks, and recognition against the simulator.
#include "shell/ConnectionPanel.h"
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/DiscoveryAnswer.h"
#include "tests/support/SimProcess.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<QApplication>);

const QHostAddress kPeer(QStringLiteral("10.77.0.2"));

struct PanelFixture : ::testing::Test {
    QWidget window;
    TConnectionPanel panel{window, {.Recognition = true, .Language = true}};

    void answer(const char* name, quint16 port, const char* addressHex) {
        panel.CommUdp->HandleDatagram(DiscoveryAnswer(name, port, QByteArray::fromHex(addressHex)), kPeer);
    }
    QStringList listed() const {
        QStringList items;
        for (int i = 0; i < panel.ComboEdit1->count(); ++i)
            items << panel.ComboEdit1->itemText(i);
        return items;
    }
};

struct PortCase {
    const char* name;
    const char* text;
    quint16 port;
};

class PortText : public PanelFixture, public ::testing::WithParamInterface<PortCase> {};

} // namespace

TEST(ConnectionPanelLayout, DefaultsAndOptionalParts) {
    QWidget window;
    TConnectionPanel bare(window, {});
    EXPECT_EQ(bare.ConnectionGroup->title(), QStringLiteral("Parametry połączenia"));
    EXPECT_EQ(bare.StatusGroup->title(), QStringLiteral("Status"));
    EXPECT_EQ(bare.ComboEdit1->currentText(), QStringLiteral("192.168.0.177"));
    EXPECT_EQ(bare.ComboEdit1->count(), 0);
    EXPECT_EQ(bare.Edit2->text(), QStringLiteral("7080"));
    EXPECT_EQ(bare.Edit3->text(), QStringLiteral("8052"));
    EXPECT_EQ(bare.Edit3->maxLength(), 16);
    EXPECT_EQ(bare.Edit3->echoMode(), QLineEdit::Password);
    EXPECT_EQ(bare.Button8, nullptr);
    EXPECT_EQ(bare.ComboBox2, nullptr);
    EXPECT_EQ(bare.EditionIndex(), kEditionNone);

    TConnectionPanel full(window, {.Recognition = true, .Language = true});
    EXPECT_EQ(full.Button8->text(), QStringLiteral("Rozpoznaj Nodarix-a"));
    EXPECT_FALSE(full.ComboBox1->isEnabled());
    EXPECT_EQ(full.ComboBox1->currentIndex(), -1);
    EXPECT_FALSE(full.ComboBox2->isEnabled());
    EXPECT_EQ(full.ComboBox2->count(), 3);
}

TEST_P(PortText, DecidesThePortOfTheTask) {
    panel.Edit2->setText(QString::fromUtf8(GetParam().text));
    const auto target = panel.LinkTarget();
    ASSERT_TRUE(target);
    EXPECT_EQ(target->Port, GetParam().port);
    EXPECT_EQ(target->Host, QStringLiteral("192.168.0.177"));
    EXPECT_EQ(target->Pass, QStringLiteral("8052"));
}

INSTANTIATE_TEST_SUITE_P(Cases, PortText,
                         ::testing::Values(PortCase{"Decimal", "7081", 7081}, PortCase{"NotANumber", "abc", 7080},
                                           PortCase{"Low16Bits", "70000", 4464},
                                           PortCase{"Negative", "-1", 65535},
                                           PortCase{"BeyondInt", "99999999999", 7080},
                                           PortCase{"Hexadecimal", "0x1F", 7080}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PanelFixture, EmptyAddressOrPortStartsNothingAndCreatesNoPool) {
    panel.ShowStatus(QStringLiteral("before"));
    for (auto* box : {static_cast<QWidget*>(panel.ComboEdit1), static_cast<QWidget*>(panel.Edit2)}) {
        panel.ComboEdit1->setEditText(QStringLiteral("127.0.0.1"));
        panel.Edit2->setText(QStringLiteral("7080"));
        if (box == panel.ComboEdit1)
            panel.ComboEdit1->setEditText(QString());
        else
            panel.Edit2->clear();
        bool started = false;
        EXPECT_FALSE(panel.StartChain([&](const TLinkTarget&) { return started = true; }));
        QTest::mouseClick(panel.Button8, Qt::LeftButton);
        EXPECT_FALSE(started);
        EXPECT_EQ(panel.CommTask, nullptr);
        EXPECT_TRUE(panel.Button8->isEnabled());
        EXPECT_EQ(panel.SInfo->text(), QStringLiteral("before"));
    }
}

TEST_F(PanelFixture, ListStartsTheScanOnceAndIsRebuiltWhenTheCountChanges) {
    panel.ListTimer->stop(); // the test ticks by hand
    panel.ListRefreshTick();
    EXPECT_EQ(panel.ShownEntries, 0);
    answer("Salon", 7081, "0A000001");
    answer("Kuchnia", 7082, "0A000002");
    EXPECT_EQ(panel.ComboEdit1->count(), 0); // answers show on the next tick
    panel.ListRefreshTick();
    EXPECT_EQ(listed(), (QStringList{"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(panel.ComboEdit1->currentText(), QStringLiteral("192.168.0.177"));
    EXPECT_EQ(panel.Edit2->text(), QStringLiteral("7080"));

    answer("Garaz", 7083, "0A000003");
    panel.ListRefreshTick();
    EXPECT_EQ(listed(), (QStringList{"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
    EXPECT_EQ(panel.ShownEntries, 3);
    EXPECT_EQ(panel.ComboEdit1->currentText(), QStringLiteral("192.168.0.177"));

    // A second scan is never started: the list only grows with late answers.
    panel.ListRefreshTick();
    EXPECT_EQ(panel.CommUdp->ScanCount(), 3);
}

TEST_F(PanelFixture, ListTimerRunsFromCreation) {
    EXPECT_TRUE(panel.ListTimer->isActive());
    EXPECT_EQ(panel.ListTimer->interval(), 100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.ShownEntries == 0; }, 2000)); // the first tick scans
    answer("Salon", 7081, "0A000001");
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel.ComboEdit1->count() == 1; }, 2000));
}

TEST_F(PanelFixture, ChosenOrTypedEntryTakesOverItsPort) {
    panel.ListTimer->stop();
    panel.ListRefreshTick();
    answer("Salon", 7081, "0A000001");
    answer("Dom;Garaz", 7082, "0A000002");
    answer("Kuchnia", 7083, "0A000003");
    panel.ListRefreshTick();

    panel.ComboEdit1->setCurrentIndex(2);
    EXPECT_EQ(panel.ComboEdit1->currentText(), QStringLiteral("10.0.0.3"));
    EXPECT_EQ(panel.Edit2->text(), QStringLiteral("7083"));

    panel.ComboEdit1->lineEdit()->selectAll();
    QTest::keyClicks(panel.ComboEdit1->lineEdit(), QStringLiteral("10.0.0.2"));
    EXPECT_EQ(panel.Edit2->text(), QStringLiteral("7082")); // a ";" in the name shifts nothing

    // Decided: an address typed by hand that matches no entry leaves the port box as it was.
    panel.ComboEdit1->lineEdit()->selectAll();
    QTest::keyClicks(panel.ComboEdit1->lineEdit(), QStringLiteral("10.0.0.9"));
    EXPECT_EQ(panel.Edit2->text(), QStringLiteral("7082"));
    const auto target = panel.LinkTarget();
    ASSERT_TRUE(target);
    EXPECT_EQ(target->Host, QStringLiteral("10.0.0.9"));
    EXPECT_EQ(target->Port, 7082);
}

TEST_F(PanelFixture, LockingDisablesEverythingAndReleaseFollowsTheMarks) {
    QPushButton marked(&window), unmarked(&window), later(&window);
    QLineEdit input(&window);
    panel.AddControl(&marked, true);
    panel.AddControl(&unmarked, false);
    panel.AddControl(&later, false);
    panel.AddControl(&input, true);
    panel.EnableControls();
    EXPECT_TRUE(marked.isEnabled());
    EXPECT_FALSE(unmarked.isEnabled());

    panel.DisableControls();
    for (QWidget* w : std::initializer_list<QWidget*>{&marked, &input, panel.ComboEdit1, panel.Edit2, panel.Edit3,
                                                      panel.Button8})
        EXPECT_FALSE(w->isEnabled());

    panel.SetMark(&later);
    panel.EnableControls();
    for (QWidget* w : std::initializer_list<QWidget*>{&marked, &later, &input, panel.ComboEdit1, panel.Edit2,
                                                      panel.Edit3, panel.Button8})
        EXPECT_TRUE(w->isEnabled());
    EXPECT_FALSE(unmarked.isEnabled());
    EXPECT_FALSE(panel.ComboBox1->isEnabled());
}

namespace {

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

struct ProgressCase {
    const char* name;
    std::vector<int> positions; // reported one after the other, maximum 1000
    int shown;
};

class ProgressShown : public PanelFixture, public ::testing::WithParamInterface<ProgressCase> {};

} // namespace

// A chain's progress reaches the bar at once, and the bar is painted with the window's next update,
// not inside the report (which would hold the UI thread for a paint of its own each time).
TEST_P(ProgressShown, ReachesTheBarAndIsPaintedWithTheNextUpdate) {
    const auto& c = GetParam();
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(panel.StatusGroup);
    window.resize(400, 120);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    TChain chain;
    panel.BindChain(chain);
    emit chain.progressMaximum(1000);
    QCoreApplication::processEvents();
    PaintCounter counter;
    panel.ProgressBar1->installEventFilter(&counter);
    for (int position : c.positions)
        emit chain.progressPosition(position);
    EXPECT_EQ(panel.ProgressBar1->value(), c.shown);
    EXPECT_EQ(counter.paints, 0) << "painted inside the report";
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > 0; }, 2000)) << "the bar is never painted";
    EXPECT_TRUE(panel.ProgressBar1->updatesEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    ConnectionPanel, ProgressShown,
    ::testing::Values(ProgressCase{"Half", {500}, 500}, ProgressCase{"BackToTheStart", {700, 0}, 0},
                      ProgressCase{"SeveralThenEnd", {10, 330, 990, 1000}, 1000},
                      ProgressCase{"BeyondTheMaximumIsIgnored", {400, 1001}, 400}),
    [](const auto& info) { return std::string(info.param.name); });

namespace {

struct RecognitionCase {
    const char* name;
    const char* realization;
    int edition;
    const char* lastStatus;
};

class Recognition : public ::testing::TestWithParam<RecognitionCase> {};

} // namespace

TEST_P(Recognition, DecidesTheEditionFromTheStartOfRealization) {
    const auto& c = GetParam();
    SimProcess sim({"--realization", c.realization, "--language", "EN"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    QWidget window;
    TConnectionPanel panel(window, {.Recognition = true, .Language = true});
    QPushButton markedLater(&window);
    panel.AddControl(&markedLater, false);
    QObject::connect(&panel, &TConnectionPanel::recognised, [&](int edition) {
        EXPECT_FALSE(panel.Button8->isEnabled()); // the window sets its marks before the release
        if (edition != kEditionNone)
            panel.SetMark(&markedLater);
    });
    QSignalSpy recognised(&panel, &TConnectionPanel::recognised);
    panel.ComboEdit1->setEditText(sim.host());
    panel.Edit2->setText(QString::number(sim.port()));

    QTest::mouseClick(panel.Button8, Qt::LeftButton);
    EXPECT_EQ(panel.SInfo->text(), QStringLiteral("Odczyt numeru wersji Nodarix-a ..."));
    EXPECT_FALSE(panel.Button8->isEnabled());
    EXPECT_FALSE(panel.ComboEdit1->isEnabled());
    EXPECT_TRUE(panel.Recognition->VersionStep->Timer()->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return recognised.count() == 1; }, 10000));
    QTest::qWait(1);

    EXPECT_EQ(recognised.at(0).at(0).toInt(), c.edition);
    EXPECT_EQ(panel.EditionIndex(), c.edition);
    EXPECT_EQ(panel.SInfo->text(), QString::fromUtf8(c.lastStatus));
    EXPECT_TRUE(panel.Button8->isEnabled());
    EXPECT_EQ(markedLater.isEnabled(), c.edition != kEditionNone);
    EXPECT_FALSE(panel.ComboBox1->isEnabled());
    panel.ChooseLanguage(panel.NodarixVersion);
    EXPECT_EQ(panel.ComboBox2->currentText(), QStringLiteral("EN"));
    EXPECT_EQ(FlashVariant(panel.EditionIndex()),
              c.edition == kEditionQPA ? "F101" : c.edition == kEditionQPB ? "F405" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Recognition,
    ::testing::Values(RecognitionCase{"Qpa", "QPA1", kEditionQPA, "V4.1.3 QPA1"},
                      RecognitionCase{"QpbWithMore", "QPBXYZ12", kEditionQPB, "V4.1.3 QPBXYZ12"},
                      RecognitionCase{"LowerCase", "qpb1", kEditionNone, "Błąd: nierozpoznana wersja nodarix-a."},
                      RecognitionCase{"Neither", "XQPA", kEditionNone, "Błąd: nierozpoznana wersja nodarix-a."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecognitionFailure, SilentControllerReleasesWithTheCommonTextAndKeepsMarks) {
    SimProcess sim({"--fault", "silent"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    QWidget window;
    TConnectionPanel panel(window, {.Recognition = true});
    panel.SetPoolTimeouts(300, 300);
    QPushButton marked(&window);
    panel.AddControl(&marked, true);
    panel.ComboEdit1->setEditText(sim.host());
    panel.Edit2->setText(QString::number(sim.port()));
    QTest::mouseClick(panel.Button8, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.Button8->isEnabled(); }, 10000));
    EXPECT_EQ(panel.SInfo->text(), QStringLiteral("Błąd: nodarix nie odpowiada."));
    EXPECT_TRUE(marked.isEnabled());
    EXPECT_EQ(panel.EditionIndex(), kEditionNone);
    panel.FormClose();
    EXPECT_EQ(panel.CommTask, nullptr);
    EXPECT_FALSE(panel.Recognition->Running());
}
