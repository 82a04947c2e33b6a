#pragma once
// The extension module window: the user chooses how a Xet16 module's inputs, ports, outputs and
// serial port work and which module number it takes on; "Programuj" sends the settings through
// the controller, and the outcome comes back as a message box.
#include "comm/CommTask.h"
#include "config/Xet16.h"

#include <QWidget>
#include <array>
#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTimer;

class TfmWindows_Xetv3_Set : public QWidget {
    Q_OBJECT
public:
    explicit TfmWindows_Xetv3_Set(QWidget* parent = nullptr);
    ~TfmWindows_Xetv3_Set() override;

    // Connect and read time-outs of the task pool created on the first send (5000 ms each);
    // tests shorten them to see a silent controller quickly.
    void setPoolTimeouts(quint32 connTimeout, quint32 readTimeout);

    // The choices as the controls hold them now.
    TXet16Choices choices() const;

    std::unique_ptr<TCommTask> CommTask;
    qint32 Id = 0;
    TXet16 Xet16{};

    std::array<QComboBox*, kXet16Inputs> ComboBoxInputMode{};
    std::array<QLineEdit*, kXet16Inputs> EditRom1{};
    std::array<QLineEdit*, kXet16Inputs> EditRom2{};
    std::array<QComboBox*, kXet16Ports> ComboBoxPortMode{};
    std::array<QComboBox*, kXet16Outputs> ComboBoxOutput{};
    QComboBox* ComboBoxSerialMode = nullptr;
    QLineEdit* EditSpeed = nullptr;
    QComboBox* ComboBoxDataBits = nullptr;
    QComboBox* ComboBoxParity = nullptr;
    QComboBox* ComboBoxStopBits = nullptr;
    QComboBox* ComboBoxProgramAs = nullptr;
    QLineEdit* EditAddress = nullptr;
    QLineEdit* EditPort = nullptr;
    QLineEdit* EditPassword = nullptr;
    QComboBox* ComboBoxModule = nullptr;
    QPushButton* Button1 = nullptr;
    QTimer* Timer1 = nullptr;

public slots:
    void Button1Click();
    void Timer1Timer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
    void buildControls();

    quint32 ConnTimeout = 5000;
    quint32 ReadTimeout = 5000;
};
