// The settings window's read and write interrupted by every simulator fault at the first, a middle
// and the last exchange of every step: the status line ends with the step's failure text, never a
// success, and the window releases its controls and stops its step timers.
#include "tests/support/SettingsSweep.h"
#include "tests/windows/SettingsWindowFixture.h"

#include <QTimer>

namespace {

using namespace sweep;

class SettingsWindowSweep : public SettingsWindow, public ::testing::WithParamInterface<SweepCase> {
protected:
    void SetUp() override {
        SettingsWindow::SetUp();
        // A silent controller is given up quickly; the sweep has many of them.
        window->Panel->SetPoolTimeouts(300, 300);
    }
    void expectReleased() {
        for (QPushButton* b : {window->Button1, window->Button3, window->Button6, window->Button9, window->Panel->Button8})
            EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
        for (QTimer* t : {window->Timer1, window->Timer2, window->Timer3, window->Timer4, window->Timer5})
            EXPECT_FALSE(t->isActive());
    }
};

class SettingsWindowReadSweep : public SettingsWindowSweep {};
class SettingsWindowWriteSweep : public SettingsWindowSweep {};

TEST_P(SettingsWindowReadSweep, EndsWithTheFailureTextAndReleasesTheControls) {
    const auto& [at, fault] = GetParam();
    SimProcess sim(simWith(at, fault));
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    pointAt(sim);
    run(window->Button1);
    EXPECT_EQ(status(), failureText(false, at, fault)) << statuses.join(" | ").toStdString();
    expectReleased();
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsWindowReadSweep,
                         ::testing::Combine(::testing::ValuesIn(kReadExchanges), ::testing::ValuesIn(kFaults)),
                         caseName);

// The write chain starts after the panel's recognition, which is the version query.
std::vector<Exchange> writeStepExchanges() {
    std::vector<Exchange> steps;
    for (const Exchange& e : kWriteExchanges)
        if (!e.versionStep)
            steps.push_back(e);
    return steps;
}

TEST_P(SettingsWindowWriteSweep, EndsWithTheWriteErrorAndReleasesTheControls) {
    const auto& [at, fault] = GetParam();
    SimProcess sim(simWith(at, fault));
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    pointAt(sim);
    run(window->Panel->Button8);
    ASSERT_EQ(window->Panel->EditionIndex(), at.qpb ? kEditionQPB : kEditionQPA) << status().toStdString();
    run(window->Button2);
    EXPECT_EQ(status(), failureText(true, at, fault)) << statuses.join(" | ").toStdString();
    EXPECT_TRUE(window->Button2->isEnabled());
    expectReleased();
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsWindowWriteSweep,
                         ::testing::Combine(::testing::ValuesIn(writeStepExchanges()), ::testing::ValuesIn(kFaults)),
                         caseName);

} // namespace
