#include "windows/Xetv3Set.h"

#include "shell/FormParts.h"
#include "shell/Startup.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstring>

namespace {

// Every text the window shows, in one place.
namespace text {
const char* const kCaption = "Ustawienia modułu rozszerzeń Xet16";
const char* const kInputsGroup = "Ustawienia wejść analogowych modułu";
const char* const kInputGroup = "Tryb pracy wejścia %1";
const char* const kRom1 = "Numer 1 ROM DS18B20";
const char* const kRom2 = "Numer 2 ROM DS18B20";
const char* const kRomInitial = "0000000000000000";
const char* const kInputModes[] = {"Analogowe",
                                   "Identyfikacja DS1990A",
                                   "Temperatura DS18B20",
                                   "Temperatura i wilgotność DHT11",
                                   "Temperatura i wilgotność DHT22",
                                   "Temperatura 2 x DS18B20",
                                   "Identyfikacja (MP) DS1990A"};
const char* const kPortsGroup = "Tryb pracy portów cyfrowych 3 do 6 modułu";
const char* const kPort = "Port %1 modułu";
const char* const kPortModes[] = {"Port wejścia-wyjścia", "Modulator PWM"};
const char* const kOutputsGroup = "Mapowanie wyjść analogowych modułu";
const char* const kOutput = "Wyjście %1";
const char* const kOutputOff = "Wyłączone";
const char* const kOutputDmx = "DMX Kanał %1";
const char* const kOutputPwm = "PWM Port %1";
const char* const kSerialGroup = "Ustawienia portu szeregowego modułu";
const char* const kSerialMode = "Tryb pracy portu";
const char* const kSerialModes[] = {"Port Nodarix", "Port RS485", "Port DMX"};
const char* const kSpeed = "Prędkość bodów";
const char* const kSpeedInitial = "9600";
const char* const kDataBits = "Bity danych";
const char* const kDataBitsList[] = {"7", "8"};
const char* const kParity = "Parzystość";
const char* const kParities[] = {"None", "Even", "Odd", "Mark", "Space"};
const char* const kStopBits = "Bity stopu";
const char* const kStopBitsList[] = {"1", "1.5", "2"};
const char* const kGeneralGroup = "Ustawienia ogólne modułu";
const char* const kProgramAs = "Zaprogramuj jako moduł numer:";
const char* const kModuleNumbers[] = {"1", "2", "3", "4"};
const char* const kFirmware = "Wersja oprogramowania";
const char* const kSerialNumber = "Numer seryjny";
const char* const kControllerGroup = "Nodarix";
const char* const kModule = "Modul";
const char* const kProgram = "Programuj";

const char* const kWarningTitle = "Ostrzeżenie";
const char* const kErrorTitle = "Błąd";
const char* const kInformationTitle = "Informacja";
const char* const kNoAnswer = "Błąd, Nodarix nie odpowiada.";
const char* const kCommError = "Błąd komunikacji ze Nodarix-em.";
const char* const kDone = "Ustawienia zostały przekazane do Nodarix-a.";
const char* const kSpeedOutOfRange =
    "Błąd, prędkość bodów „%1” jest poza zakresem od 0 do 65535, który moduł "
    "przyjmuje. Ustawienia nie zostały przekazane do Nodarix-a.";
} // namespace text

template <std::size_t N> QComboBox* fixedList(QWidget* parent, const char* const (&entries)[N]) {
    auto* box = new QComboBox(parent);
    for (const char* e : entries)
        box->addItem(tr8(e));
    return box;
}

QLineEdit* editBox(QWidget* parent, const char* initial, int maxLength = 32767) {
    auto* edit = new QLineEdit(tr8(initial), parent);
    edit->setMaxLength(maxLength);
    return edit;
}

// Tighter than the default margins, so that all six groups fit the window's height.
void compact(QLayout* layout) {
    layout->setContentsMargins(9, 4, 9, 6);
}

QGridLayout* captionGrid(QGroupBox* group) {
    auto* grid = new QGridLayout(group);
    compact(grid);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(2);
    return grid;
}

void showBox(QWidget* parent, QMessageBox::Icon icon, const char* title, const QString& message) {
    QMessageBox box(icon, tr8(title), message, QMessageBox::Ok, parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

} // namespace

TfmWindows_Xetv3_Set::TfmWindows_Xetv3_Set(QWidget* parent) : QWidget(parent) {
    std::memset(&Xet16, 0, sizeof Xet16);
    buildControls();
    ApplyWindowFrame(*this, tr8(text::kCaption), 663, 673);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TfmWindows_Xetv3_Set::Timer1Timer);
    connect(Button1, &QPushButton::clicked, this, &TfmWindows_Xetv3_Set::Button1Click);
}

TfmWindows_Xetv3_Set::~TfmWindows_Xetv3_Set() {
    FormClose();
}

void TfmWindows_Xetv3_Set::buildControls() {
    // Controls are created in reading order, which is also their tab order.
    auto* page = new QGridLayout(this);
    page->setContentsMargins(8, 6, 8, 8);
    page->setHorizontalSpacing(6);
    page->setVerticalSpacing(12);

    // The longest input mode does not fit three inputs side by side: one row per input.
    auto* inputs = new QGroupBox(tr8(text::kInputsGroup), this);
    auto* inputRows = new QVBoxLayout(inputs);
    compact(inputRows);
    inputRows->setSpacing(4);
    for (int n = 0; n < kXet16Inputs; ++n) {
        auto* group = new QGroupBox(tr8(text::kInputGroup).arg(n + 1), inputs);
        auto* grid = captionGrid(group);
        ComboBoxInputMode[n] = fixedList(group, text::kInputModes);
        EditRom1[n] = editBox(group, text::kRomInitial, 16);
        EditRom2[n] = editBox(group, text::kRomInitial, 16);
        grid->addWidget(ComboBoxInputMode[n], 1, 0);
        captioned(grid, 0, 1, tr8(text::kRom1), EditRom1[n]);
        captioned(grid, 0, 2, tr8(text::kRom2), EditRom2[n]);
        grid->setColumnStretch(0, 3);
        grid->setColumnStretch(1, 2);
        grid->setColumnStretch(2, 2);
        inputRows->addWidget(group);
    }
    page->addWidget(inputs, 0, 0, 1, 2);

    // The mode names are too long for four lists in one row: two rows, caption beside the list.
    auto* ports = new QGroupBox(tr8(text::kPortsGroup), this);
    auto* portsGrid = new QGridLayout(ports);
    compact(portsGrid);
    portsGrid->setHorizontalSpacing(12);
    portsGrid->setVerticalSpacing(4);
    for (int p = 0; p < kXet16Ports; ++p) {
        ComboBoxPortMode[p] = fixedList(ports, text::kPortModes);
        auto* label = new QLabel(tr8(text::kPort).arg(p + 3), ports);
        label->setBuddy(ComboBoxPortMode[p]);
        portsGrid->addWidget(label, p / 2, (p % 2) * 2);
        portsGrid->addWidget(ComboBoxPortMode[p], p / 2, (p % 2) * 2 + 1);
    }
    portsGrid->setColumnStretch(1, 1);
    portsGrid->setColumnStretch(3, 1);
    portsGrid->setColumnMinimumWidth(2, 24);
    page->addWidget(ports, 1, 0, 1, 2);

    auto* outputs = new QGroupBox(tr8(text::kOutputsGroup), this);
    auto* outputsGrid = captionGrid(outputs);
    for (int o = 0; o < kXet16Outputs; ++o) {
        auto* box = new QComboBox(outputs);
        box->addItem(tr8(text::kOutputOff));
        for (int channel = 1; channel <= 16; ++channel)
            box->addItem(tr8(text::kOutputDmx).arg(channel));
        for (int port = 3; port <= 6; ++port)
            box->addItem(tr8(text::kOutputPwm).arg(port));
        box->setMaxVisibleItems(kXet16OutputSources);
        ComboBoxOutput[o] = box;
        captioned(outputsGrid, (o / 4) * 2, o % 4, tr8(text::kOutput).arg(o + 1), box);
    }
    outputsGrid->setRowMinimumHeight(2, 18);
    for (int c = 0; c < 4; ++c)
        outputsGrid->setColumnStretch(c, 1);
    page->addWidget(outputs, 2, 0, 1, 2);

    auto* serial = new QGroupBox(tr8(text::kSerialGroup), this);
    auto* serialGrid = captionGrid(serial);
    ComboBoxSerialMode = fixedList(serial, text::kSerialModes);
    EditSpeed = editBox(serial, text::kSpeedInitial);
    ComboBoxDataBits = fixedList(serial, text::kDataBitsList);
    ComboBoxDataBits->setCurrentIndex(1);
    ComboBoxParity = fixedList(serial, text::kParities);
    ComboBoxStopBits = fixedList(serial, text::kStopBitsList);
    captioned(serialGrid, 0, 0, tr8(text::kSerialMode), ComboBoxSerialMode);
    captioned(serialGrid, 0, 1, tr8(text::kSpeed), EditSpeed);
    captioned(serialGrid, 0, 2, tr8(text::kDataBits), ComboBoxDataBits);
    captioned(serialGrid, 0, 3, tr8(text::kParity), ComboBoxParity);
    captioned(serialGrid, 0, 4, tr8(text::kStopBits), ComboBoxStopBits);
    for (int c = 0; c < 5; ++c)
        serialGrid->setColumnStretch(c, 1);
    page->addWidget(serial, 3, 0, 1, 2);

    auto* general = new QGroupBox(tr8(text::kGeneralGroup), this);
    auto* generalGrid = captionGrid(general);
    ComboBoxProgramAs = fixedList(general, text::kModuleNumbers);
    captioned(generalGrid, 0, 0, tr8(text::kProgramAs), ComboBoxProgramAs);
    // The module does not report these yet: the captions stand without a value.
    generalGrid->addWidget(new QLabel(tr8(text::kFirmware), general), 2, 0);
    generalGrid->addWidget(new QLabel(tr8(text::kSerialNumber), general), 3, 0);
    generalGrid->setRowMinimumHeight(2, 22);
    generalGrid->setRowStretch(4, 1);
    page->addWidget(general, 4, 0);

    auto* controller = new QGroupBox(tr8(text::kControllerGroup), this);
    auto* controllerGrid = captionGrid(controller);
    EditAddress = editBox(controller, connection_text::kAddressInitial);
    EditPort = editBox(controller, connection_text::kTcpPortInitial);
    EditPassword = editBox(controller, connection_text::kPasswordInitial, 16);
    EditPassword->setEchoMode(QLineEdit::Password);
    ComboBoxModule = fixedList(controller, text::kModuleNumbers);
    Button1 = new QPushButton(tr8(text::kProgram), controller);
    Button1->setMinimumWidth(110);
    captioned(controllerGrid, 0, 0, tr8(connection_text::kAddress), EditAddress);
    captioned(controllerGrid, 0, 1, tr8(connection_text::kTcpPort), EditPort);
    captioned(controllerGrid, 0, 2, tr8(connection_text::kPassword), EditPassword);
    captioned(controllerGrid, 0, 3, tr8(text::kModule), ComboBoxModule);
    controllerGrid->setRowMinimumHeight(2, 8);
    controllerGrid->addWidget(Button1, 3, 2, 1, 2, Qt::AlignRight);
    controllerGrid->setColumnStretch(0, 3);
    controllerGrid->setColumnStretch(1, 1);
    controllerGrid->setColumnStretch(2, 2);
    page->addWidget(controller, 4, 1);
    page->setColumnStretch(1, 1);
    page->setRowStretch(5, 1);
}

void TfmWindows_Xetv3_Set::setPoolTimeouts(quint32 connTimeout, quint32 readTimeout) {
    ConnTimeout = connTimeout;
    ReadTimeout = readTimeout;
}

TXet16Choices TfmWindows_Xetv3_Set::choices() const {
    TXet16Choices c;
    for (int n = 0; n < kXet16Inputs; ++n) {
        c.InputMode[n] = ComboBoxInputMode[n]->currentIndex();
        c.Rom1[n] = EditRom1[n]->text();
        c.Rom2[n] = EditRom2[n]->text();
    }
    for (int p = 0; p < kXet16Ports; ++p)
        c.PortMode[p] = ComboBoxPortMode[p]->currentIndex();
    for (int o = 0; o < kXet16Outputs; ++o)
        c.OutputSource[o] = ComboBoxOutput[o]->currentIndex();
    c.SerialMode = ComboBoxSerialMode->currentIndex();
    c.Speed = EditSpeed->text();
    c.DataBits = ComboBoxDataBits->currentIndex();
    c.Parity = ComboBoxParity->currentIndex();
    c.StopBits = ComboBoxStopBits->currentIndex();
    c.ProgramAs = ComboBoxProgramAs->currentIndex();
    c.Host = EditAddress->text();
    c.PortText = EditPort->text();
    c.Password = EditPassword->text();
    c.Module = ComboBoxModule->currentIndex();
    return c;
}

void TfmWindows_Xetv3_Set::Button1Click() {
    const TXet16Request request = BuildXet16(choices());
    if (request.Refusal == TXet16Refusal::SpeedOutOfRange) {
        // The record holds 16 bits; a larger speed would program the module to a different one.
        showBox(this, QMessageBox::Warning, text::kWarningTitle,
                tr8(text::kSpeedOutOfRange).arg(EditSpeed->text().trimmed()));
        return;
    }
    if (request.Refusal != TXet16Refusal::None)
        return; // the lists cannot hold a position outside themselves
    Xet16 = request.Record;
    if (!CommTask)
        CommTask = std::make_unique<TCommTask>(ConnTimeout, ReadTimeout);
    Id = CommTask->AddTaskExtSave(request.Host, request.Port, true, request.Password, request.No, &Xet16);
    Timer1->start();
}

void TfmWindows_Xetv3_Set::Timer1Timer() {
    if (!CommTask)
        return;
    TTaskType kind{};
    switch (CommTask->GetTaskStatus(Id, &kind)) {
    case statFree:
    case statWait:
    case statProgress:
        break;
    case statResTimeOut:
        showBox(this, QMessageBox::Warning, text::kWarningTitle, tr8(text::kNoAnswer));
        Timer1->stop();
        break;
    case statResUnkn:
    case statResErr:
        showBox(this, QMessageBox::Critical, text::kErrorTitle, tr8(text::kCommError));
        Timer1->stop();
        break;
    case STATRESOK:
        Timer1->stop();
        showBox(this, QMessageBox::Information, text::kInformationTitle, tr8(text::kDone));
        break;
    }
}

void TfmWindows_Xetv3_Set::FormClose() {
    if (Timer1)
        Timer1->stop();
    if (CommTask) {
        // The field is cleared before the pool is released, so nothing polls a pool being joined.
        std::unique_ptr<TCommTask> pool = std::move(CommTask);
        pool.reset();
    }
}

void TfmWindows_Xetv3_Set::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);
}
