#pragma once
// The update window shown offscreen, pointed at loopback, with short waits after the restart, every
// status text and progress position its chains report collected, a simulator seeded with the
// demonstration configuration, and ways to press its buttons and wait for the window to release them.
#include "tests/support/DemoQpaImages.h"
#include "tests/support/SimProcess.h"
#include "tests/windows/WindowChecks.h"
#include "windows/Update.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <initializer_list>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

constexpr int kRestartMs = 300; // the simulator's restart and the window's waits after it

class UpdateWindow : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TfmWindows_Update>(dir.path());
        window->Panel->ComboEdit1->setEditText(QStringLiteral("127.0.0.1"));
        window->Panel->SetPoolTimeouts(700, 700);
        window->UpdateChain->SetRestartWaits(kRestartMs * 3, kRestartMs * 3);
        for (TChain* chain : std::initializer_list<TChain*>{window->CheckChain, window->UpdateChain}) {
            QObject::connect(chain, &TChain::status, [this](const QString& t) { statuses << t; });
            QObject::connect(chain, &TChain::progressPosition, [this](int p) { positions << p; });
        }
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override { window.reset(); }

    // A simulator with a state file, whose memory the test reads after stopping it; it refuses
    // connections for restartMs after the restart command.
    std::unique_ptr<SimProcess> startSim(QStringList args, bool seedDemo, int restartMs = kRestartMs) {
        args << QStringLiteral("--state") << dir.filePath(QStringLiteral("sim.state")) << QStringLiteral("--restart-ms")
             << QString::number(restartMs) << QStringLiteral("--log");
        if (seedDemo) {
            EXPECT_TRUE(writeBytes(dir.filePath(QStringLiteral("s.bin")), demo.settings));
            EXPECT_TRUE(writeBytes(dir.filePath(QStringLiteral("t.bin")), demo.texts));
            args << QStringLiteral("--seed") << QStringLiteral("qpa-settings=") + dir.filePath(QStringLiteral("s.bin"))
                 << QStringLiteral("--seed") << QStringLiteral("qpa-texts=") + dir.filePath(QStringLiteral("t.bin"));
        }
        auto sim = std::make_unique<SimProcess>(args);
        EXPECT_TRUE(sim->started()) << sim->failure().toStdString();
        window->Panel->ComboEdit1->setEditText(sim->host());
        window->Panel->Edit2->setText(QString::number(sim->port()));
        return sim;
    }
    // An image of the stopped simulator's memory.
    QByteArray exported(const char* kind) {
        const QString out = dir.filePath(QStringLiteral("export.bin"));
        QFile::remove(out);
        const auto run = SimProcess::run({QStringLiteral("--state"), dir.filePath(QStringLiteral("sim.state")),
                                          QStringLiteral("--export"), QLatin1String(kind) + QLatin1Char('=') + out});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return readFile(out);
    }

    void check() {
        statuses.clear();
        QTest::mouseClick(window->Button1, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Timer1->isActive(); }, 10000));
    }
    // locks: false where the update ends before anything is queued (the QPB path's images).
    void update(bool locks = true) {
        statuses.clear();
        positions.clear();
        QTest::mouseClick(window->Button2, Qt::LeftButton);
        if (locks) {
            for (const QWidget* control : std::initializer_list<QWidget*>{
                     window->Button1, window->Button2, window->Panel->ComboEdit1, window->Panel->Edit2,
                     window->Panel->Edit3, window->CheckBox1, window->Panel->ComboBox2})
                ASSERT_FALSE(control->isEnabled()) << "the controls are locked while the update runs";
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->Button1->isEnabled(); }, 60000));
    }
    QString status() const { return window->Panel->SInfo->text(); }
    QProgressBar* bar() const { return window->Panel->ProgressBar1; }

    QTemporaryDir dir;
    DemoQpaImages demo;
    std::unique_ptr<TfmWindows_Update> window;
    QStringList statuses;
    QList<int> positions;
};

