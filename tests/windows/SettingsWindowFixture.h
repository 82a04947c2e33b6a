#pragma once
// The settings window shown offscreen, pointed at loopback, with every status text and progress
// position its chains report collected, and a way to press a controller button and wait for the
// window to release its controls.
#include "shell/ConnectionPanel.h"
#include "tests/support/SimProcess.h"
#include "windows/NodarixSet.h"
#include "workflows/Chain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <memory>
#include <vector>

class SettingsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TfmWindows_Nodarix_Set>();
        // Never leave the default controller address in place: nothing but loopback is contacted.
        window->Panel->ComboEdit1->setEditText(QStringLiteral("127.0.0.1"));
        window->Panel->SetPoolTimeouts(700, 700);
        window->ChooseFile = [this](const TFileDialogSpec& spec) {
            dialogs.push_back(spec);
            return chosenFile;
        };
        for (TChain* chain : std::initializer_list<TChain*>{window->ReadChain, window->WriteChain,
                                                           window->HttpOnChain, window->HttpOffChain,
                                                           window->Panel->Recognition}) {
            QObject::connect(chain, &TChain::status, [this](const QString& t) { statuses << t; });
            QObject::connect(chain, &TChain::progressPosition, [this](int p) { positions << p; });
        }
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override { window.reset(); }

    void pointAt(const SimProcess& sim) {
        window->Panel->ComboEdit1->setEditText(sim.host());
        window->Panel->Edit2->setText(QString::number(sim.port()));
    }
    // Presses a controller button and waits until the window releases its controls.
    void run(QPushButton* button) {
        statuses.clear();
        positions.clear();
        QTest::mouseClick(button, Qt::LeftButton);
        for (const QWidget* control : std::initializer_list<QWidget*>{
                 window->Button1, window->Button2, window->Button3, window->Button4, window->Button5,
                 window->Button6, window->Button7, window->Panel->Button8, window->Button9, window->Button10,
                 window->Button11, window->Panel->ComboEdit1, window->Panel->Edit2, window->Panel->Edit3,
                 window->CheckBox1, window->Memo2})
            ASSERT_FALSE(control->isEnabled()) << "the controls are locked while the chain runs";
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->Button1->isEnabled(); }, 20000));
    }
    QString status() const { return window->Panel->SInfo->text(); }
    QProgressBar* bar() const { return window->Panel->ProgressBar1; }
    void chooseEdition(int edition) { window->Panel->ComboBox1->setCurrentIndex(edition); }

    std::unique_ptr<TfmWindows_Nodarix_Set> window;
    QStringList statuses;
    QList<int> positions;
    std::vector<TFileDialogSpec> dialogs;
    QString chosenFile;
    QTemporaryDir dir;
};

