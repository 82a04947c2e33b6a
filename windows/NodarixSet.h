#pragma once
// The settings window ("-b"): reads a controller's whole configuration, shows it as text, saves
// and loads text files, imports raw NDC/NDT files, clears, writes the configuration back and
// switches the controller's HTTP server. The chains themselves live in workflows/; the window
// binds them to its controls.
#include "shell/ConnectionPanel.h"
#include "shell/FormParts.h"
#include "workflows/SettingsChains.h"
#include "workflows/SettingsImages.h"

#include <QWidget>
#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class QTimer;

class TfmWindows_Nodarix_Set : public QWidget {
    Q_OBJECT
public:
    explicit TfmWindows_Nodarix_Set(QWidget* parent = nullptr);
    ~TfmWindows_Nodarix_Set() override;

    // Asks the user for a file; empty when cancelled. Tests replace it.
    std::function<QString(const TFileDialogSpec&)> ChooseFile;
    static const TFileDialogSpec SaveDialog1, OpenDialog1, OpenDialog2, OpenDialog3;

    std::unique_ptr<TSettingsImages> Images; // NodarixQPAConfig, NodarixQPAText, ..., Settings

    TConnectionPanel* Panel = nullptr; // CommTask, CommUdp, NodarixVersion, ComboEdit1 ... SInfo
    QGroupBox* SettingsGroup = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* Button6 = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* Button9 = nullptr;
    QPushButton* Button10 = nullptr;
    QPushButton* Button11 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;

    TSettingsReadChain* ReadChain = nullptr;
    TSettingsWriteChain* WriteChain = nullptr;
    THttpSwitchChain* HttpOnChain = nullptr;
    THttpSwitchChain* HttpOffChain = nullptr;

    // The step timers, each the timer of a chain's step (100 ms, stopped at start).
    QTimer* Timer1 = nullptr; // read: version
    QTimer* Timer2 = nullptr; // read: settings image
    QTimer* Timer3 = nullptr; // read: texts or variables
    QTimer* Timer4 = nullptr; // write: settings image
    QTimer* Timer5 = nullptr; // write: texts or variables
    QTimer* Timer6 = nullptr; // controller list refresh
    QTimer* Timer7 = nullptr; // recognition
    QTimer* Timer8 = nullptr; // HTTP on
    QTimer* Timer9 = nullptr; // HTTP off

public slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button9Click();
    void Button10Click();
    void Button11Click();
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void Timer4Timer();
    void Timer5Timer();
    void Timer6Timer();
    void Timer7Timer();
    void Timer8Timer();
    void Timer9Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void FormShow();
    void FormClose();
    void readTextFile(bool append);
    // An NDC or NDT import: import() fills the held record or returns the status text to show.
    void importRawFile(const TFileDialogSpec& dialog, const std::function<QString(const QString&)>& import);
    void showText(const QString& text);
    void selectLine(int line);

    bool shown = false;
};
