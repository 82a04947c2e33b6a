// The update window's chains interrupted at the first exchange of every step (QPA with and without the
// conversion, QPB) by the simulator's silence and by one of the faults that answer wrongly: the status
// line ends with the link's failure text, naming the backup from the zeroing on, never a success, and
// the window releases its controls and stops its step timers. The command-line sweep covers every fault
// at every step, the middle and last exchanges and the restores from the backup.
#include "tests/support/UpdateSweep.h"
#include "tests/windows/UpdateWindowFixture.h"

#include <QCheckBox>
#include <QTimer>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace sweep;

struct WindowRun {
    std::string name;
    Chain chain;
    int exchange;
    Fault fault;
    bool cleared;
};

void PrintTo(const WindowRun& r, std::ostream* os) { *os << r.name; }

// The silence at every step, and the five faults that answer wrongly taken in turn over the steps,
// so that each of them meets steps of every chain.
std::vector<WindowRun> windowRuns() {
    std::vector<WindowRun> runs;
    std::size_t turn = 1;
    for (Chain chain : {Chain::UpdateQpa, Chain::UpdateQpaNoConvert, Chain::UpdateQpb}) {
        const ChainSteps& c = stepsOf(chain);
        for (const Step& s : c.steps) {
            const std::string step = std::string(c.name) + "_" + s.name + "_";
            runs.push_back({step + kFaults[0].name, chain, s.first, kFaults[0], s.cleared});
            const Fault& other = kFaults[turn];
            turn = turn % (std::size(kFaults) - 1) + 1;
            runs.push_back({step + other.name, chain, s.first, other, s.cleared});
        }
    }
    return runs;
}

class UpdateWindowSweep : public UpdateWindow, public ::testing::WithParamInterface<WindowRun> {
protected:
    void SetUp() override {
        UpdateWindow::SetUp();
        // A silent controller is given up quickly; the sweep has many of them.
        window->Panel->SetPoolTimeouts(300, 300);
    }
};

TEST_P(UpdateWindowSweep, EndsWithTheFailureTextAndReleasesTheControls) {
    const WindowRun& r = GetParam();
    const auto sim = startSim({"--jumper", "--version-text", "V4.0.1", "--edition", isQpb(r.chain) ? "QPB" : "QPA",
                               "--fault", QStringLiteral("%1,fault-after=%2").arg(QLatin1String(r.fault.option)).arg(r.exchange)},
                              true);
    check();
    ASSERT_TRUE(window->Button2->isEnabled()) << status().toStdString();
    window->CheckBox1->setChecked(r.chain != Chain::UpdateQpaNoConvert);
    update();
    QString expected = linkFailureText(r.fault);
    if (r.cleared)
        expected += QStringLiteral(" Kopia konfiguracji: ") + window->UpdateChain->BackupFolder;
    EXPECT_EQ(status(), expected) << statuses.join(" | ").toStdString();
    EXPECT_FALSE(statuses.contains(QStringLiteral("Aktualizacja zakończona.")));
    EXPECT_TRUE(window->Button1->isEnabled());
    EXPECT_FALSE(window->Button2->isEnabled()) << "a new check is needed before the next update";
    for (QTimer* t : {window->Timer1, window->Timer2, window->Timer3, window->Timer4, window->Timer5, window->Timer6,
                      window->Timer7, window->Timer8, window->Timer9, window->Timer10, window->Timer11, window->Timer12})
        EXPECT_FALSE(t->isActive());
}

INSTANTIATE_TEST_SUITE_P(Update, UpdateWindowSweep, ::testing::ValuesIn(windowRuns()),
                         [](const auto& info) { return info.param.name; });

} // namespace
