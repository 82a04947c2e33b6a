#pragma once
// The update window ("-u"): checks a controller and brings its firmware, web pages and texts to
// the version the tool carries, carrying a QPA controller's configuration across. The chains live
// in workflows/; the window binds them to its controls.
#include "shell/ConnectionPanel.h"
#include "workflows/Update.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QTimer;

class TfmWindows_Update : public QWidget {
    Q_OBJECT
public:
    // `startDirectory`: the working directory the tool started in; it holds "Res.txt" and receives
    // the configuration backups.
    explicit TfmWindows_Update(const QString& startDirectory, QWidget* parent = nullptr);
    ~TfmWindows_Update() override;

    const QString StartDirectory;

    TConnectionPanel* Panel = nullptr; // CommTask, CommUdp, NodarixVersion, ComboEdit1 ... ComboBox2, SInfo
    TUpdateCheckChain* CheckChain = nullptr;
    TUpdateChain* UpdateChain = nullptr; // NodarixQPAConfig, NodarixQPAText, remaps, Settings
    QGroupBox* UpdateGroup = nullptr;
    QPushButton* Button1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QPushButton* Button2 = nullptr; // carries the update path the check chose

    int UpdatePath() const;

    QTimer* Timer1 = nullptr;  // check: version
    QTimer* Timer2 = nullptr;  // QPA: settings read
    QTimer* Timer3 = nullptr;  // QPA: texts read
    QTimer* Timer4 = nullptr;  // QPA: conversion, one-shot
    QTimer* Timer5 = nullptr;  // QPA: zeroed settings written
    QTimer* Timer6 = nullptr;  // QPA: flash image written
    QTimer* Timer7 = nullptr;  // QPA: 10 s after the restart, one-shot
    QTimer* Timer8 = nullptr;  // QPA: settings written back
    QTimer* Timer9 = nullptr;  // QPA: texts written back
    QTimer* Timer10 = nullptr; // QPB: firmware image written
    QTimer* Timer11 = nullptr; // QPB: 15 s after the restart, one-shot
    QTimer* Timer12 = nullptr; // QPB: resources image written
    QTimer* Timer13 = nullptr; // controller list refresh

public slots:
    void Button1Click();
    void Button2Click();
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void Timer4Timer();
    void Timer5Timer();
    void Timer6Timer();
    void Timer7Timer();
    void Timer8Timer();
    void Timer9Timer();
    void Timer10Timer();
    void Timer11Timer();
    void Timer12Timer();
    void Timer13Timer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void FormClose();
    void setPath(int path);
};
