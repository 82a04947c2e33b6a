// The update window's chains interrupted (QPA with and without the conversion, QPB): every simulator
// fault meets every step, at its first, a middle or its last exchange in turn, and the restart may never
// come back. The simulator's log must show that the run stopped on the faulted exchange; the status
// line ends with the link's failure text, naming the backup (which holds the configuration as read)
// from the zeroing on, never a success; the window releases its controls and stops its step timers.
// The command-line sweep covers every position of every fault and the restores from the backup.
#include "config/ConfigBackup.h"
#include "tests/support/UpdateSweep.h"
#include "tests/windows/UpdateWindowFixture.h"

#include <QCheckBox>
#include <QDir>
#include <QTimer>
#include <string>
#include <vector>

namespace {

using namespace sweep;

class UpdateWindowSweep : public UpdateWindow, public ::testing::WithParamInterface<SweepRun> {
protected:
    void SetUp() override {
        UpdateWindow::SetUp();
        // A silent controller is given up quickly; the sweep has many of them.
        window->Panel->SetPoolTimeouts(300, 300);
    }
};

TEST_P(UpdateWindowSweep, EndsWithTheFailureTextAndReleasesTheControls) {
    const SweepRun& r = GetParam();
    const auto sim = startSim(QStringList{"--jumper", "--version-text", "V4.0.1", "--edition", isQpb(r.chain) ? "QPB" : "QPA"}
                                  << faultArguments(r),
                              true, r.exchange < 0 ? 600000 : kRestartMs);
    check();
    ASSERT_TRUE(window->Button2->isEnabled()) << status().toStdString();
    window->CheckBox1->setChecked(r.chain != Chain::UpdateQpaNoConvert);
    update();
    sim->stop(); // its log is complete
    expectEndedOn(sim->log(), r.landing, r.exchange < 0 ? "restarting" : "fault");

    QString expected = linkFailureText(r.fault);
    if (r.cleared)
        expected += QStringLiteral(" Kopia konfiguracji: ") + window->UpdateChain->BackupFolder;
    EXPECT_EQ(status(), expected) << statuses.join(" | ").toStdString();
    EXPECT_FALSE(statuses.contains(QStringLiteral("Aktualizacja zakończona.")));
    if (r.cleared) {
        const QDir backup(window->UpdateChain->BackupFolder);
        EXPECT_TRUE(readFile(backup.filePath(QLatin1String(kBackupSettingsFile))) == demo.settings);
        EXPECT_TRUE(readFile(backup.filePath(QLatin1String(kBackupTextsFile))) == demo.texts);
    }
    for (const QWidget* control : std::initializer_list<QWidget*>{window->Button1, window->Panel->ComboEdit1,
                                                                 window->Panel->Edit2, window->Panel->Edit3})
        EXPECT_TRUE(control->isEnabled()) << "the controls are released after a failed update";
    EXPECT_FALSE(window->Button2->isEnabled()) << "a new check is needed before the next update";
    for (QTimer* t : {window->Timer1, window->Timer2, window->Timer3, window->Timer4, window->Timer5, window->Timer6,
                      window->Timer7, window->Timer8, window->Timer9, window->Timer10, window->Timer11, window->Timer12})
        EXPECT_FALSE(t->isActive());
}

INSTANTIATE_TEST_SUITE_P(UpdateQpa, UpdateWindowSweep, ::testing::ValuesIn(turningPositionRuns(Chain::UpdateQpa)),
                         runName);
INSTANTIATE_TEST_SUITE_P(UpdateQpaNoConvert, UpdateWindowSweep,
                         ::testing::ValuesIn(turningPositionRuns(Chain::UpdateQpaNoConvert)), runName);
INSTANTIATE_TEST_SUITE_P(UpdateQpb, UpdateWindowSweep, ::testing::ValuesIn(turningPositionRuns(Chain::UpdateQpb)),
                         runName);

} // namespace
