#pragma once
// The resources window shown offscreen, pointed at loopback, its file dialog answered by the test,
// every status text of its upload collected, and ways to press its buttons and wait for the window to
// release its controls.
#include "tests/support/SimProcess.h"
#include "tests/windows/WindowChecks.h"
#include "windows/Resources.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

class ResourcesWindow : public ::testing::Test {
protected:
    void SetUp() override { open(); }
    void TearDown() override { window.reset(); }

    void open() {
        window = std::make_unique<TfmWindows_Resources>(dir.path());
        window->Panel->ComboEdit1->setEditText(QStringLiteral("127.0.0.1"));
        window->Panel->SetPoolTimeouts(700, 700);
        window->ChooseFile = [this](bool picture) {
            asked.push_back(picture);
            return chosen;
        };
        QObject::connect(window->UploadChain, &TChain::status, [this](const QString& t) { statuses << t; });
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    std::unique_ptr<SimProcess> startSim(QStringList args) {
        args << QStringLiteral("--state") << dir.filePath(QStringLiteral("sim.state"));
        auto sim = std::make_unique<SimProcess>(args);
        EXPECT_TRUE(sim->started()) << sim->failure().toStdString();
        window->Panel->ComboEdit1->setEditText(sim->host());
        window->Panel->Edit2->setText(QString::number(sim->port()));
        return sim;
    }
    QByteArray exportedFlash() {
        const QString out = dir.filePath(QStringLiteral("flash.bin"));
        const auto run =
            SimProcess::run({QStringLiteral("--state"), dir.filePath(QStringLiteral("sim.state")),
                             QStringLiteral("--export"), QStringLiteral("flash=") + out});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return readFile(out);
    }
    // The controls a running chain locks (the language box stays locked until the next recognition).
    std::vector<QWidget*> lockedControls() const {
        std::vector<QWidget*> locked{window->Panel->ComboEdit1, window->Panel->Edit2, window->Panel->Edit3,
                                     window->Button1, window->Panel->Button8};
        for (const auto* row : {&window->OpenHtml, &window->DeleteHtml, &window->OpenGif, &window->DeleteGif})
            locked.insert(locked.end(), row->begin(), row->end());
        return locked;
    }
    // Presses a button and waits until the window releases its controls.
    void run(QPushButton* button) {
        statuses.clear();
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_FALSE(window->Panel->ComboBox2->isEnabled()) << "the controls are locked while the chain runs";
        for (const QWidget* control : lockedControls())
            ASSERT_FALSE(control->isEnabled()) << "the controls are locked while the chain runs";
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->Panel->Button8->isEnabled(); }, 30000));
    }
    QString status() const { return window->Panel->SInfo->text(); }
    QProgressBar* bar() const { return window->Panel->ProgressBar1; }

    QTemporaryDir dir;
    std::unique_ptr<TfmWindows_Resources> window;
    std::vector<bool> asked;
    QString chosen;
    QStringList statuses;
};
