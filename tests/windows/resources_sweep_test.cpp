// The resources window's upload interrupted (QPA: texts read, then the image; QPB: the image): every
// simulator fault meets every step, at its first, a middle or its last exchange in turn. The
// simulator's log must show that the upload stopped on the faulted exchange; the status line ends with
// the link's failure text, never the success text, and the window releases its controls and stops its
// step timers. The command-line sweep covers every position of every fault.
#include "tests/support/UpdateSweep.h"
#include "tests/windows/ResourcesWindowFixture.h"

#include <QTimer>

namespace {

using namespace sweep;

class ResourcesWindowSweep : public ResourcesWindow, public ::testing::WithParamInterface<SweepRun> {
protected:
    void SetUp() override {
        ResourcesWindow::SetUp();
        // A silent controller is given up quickly; the sweep has many of them.
        window->Panel->SetPoolTimeouts(300, 300);
    }
};

TEST_P(ResourcesWindowSweep, EndsWithTheFailureTextAndReleasesTheControls) {
    const SweepRun& r = GetParam();
    const auto sim =
        startSim(QStringList{"--log", "--edition", isQpb(r.chain) ? "QPB" : "QPA", "--language", "EN"}
                 << faultArguments(r));
    run(window->Panel->Button8);
    ASSERT_TRUE(window->Button1->isEnabled()) << status().toStdString();
    run(window->Button1);
    sim->stop(); // its log is complete
    expectEndedOn(sim->log(), r.landing, "fault");

    EXPECT_EQ(status(), linkFailureText(r.fault)) << statuses.join(" | ").toStdString();
    EXPECT_FALSE(statuses.contains(QStringLiteral("Zasoby załadowane OK.")))
        << statuses.join(" | ").toStdString();
    for (const QWidget* control : lockedControls())
        EXPECT_TRUE(control->isEnabled()) << "the controls are released after a failed upload";
    EXPECT_FALSE(window->Panel->ComboBox2->isEnabled()) << "the language box waits for the next recognition";
    for (const QTimer* t : {window->Timer1, window->Timer2, window->Timer3, window->Timer7})
        EXPECT_FALSE(t->isActive());
}

INSTANTIATE_TEST_SUITE_P(ResourcesQpa, ResourcesWindowSweep,
                         ::testing::ValuesIn(turningPositionRuns(Chain::ResourcesQpa)), runName);
INSTANTIATE_TEST_SUITE_P(ResourcesQpb, ResourcesWindowSweep,
                         ::testing::ValuesIn(turningPositionRuns(Chain::ResourcesQpb)), runName);

} // namespace
