#include "windows/Update.h"

#include "flash/ResCfg.h"
#include "shell/FormParts.h"
#include "shell/Startup.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Every text of the window, in one place (the chains' texts are in workflows/Update.cpp).
namespace text {
const char* const kCaption = "Aktualizacja NodaRix-a do wersji";
const char* const kUpdateGroup = "Aktualizacja oprogramowania NodaRix-a";
const char* const kCheck = "Połącz i sprawdź NodaRix-a";
const char* const kConvert = "Przeprowadź konwersję ustawień konfiguracyjnych";
const char* const kUpdate = "Aktualizuj Nodarix-a";
} // namespace text

const char* const kPathProperty = "Tag";
constexpr int kClientWidth = 660;
constexpr int kClientHeight = 470;

} // namespace

TfmWindows_Update::TfmWindows_Update(const QString& startDirectory, QWidget* parent)
    : QWidget(parent), StartDirectory(startDirectory) {
    Panel = new TConnectionPanel(*this, {.Recognition = false, .Language = true});
    CheckChain = new TUpdateCheckChain(Panel->NodarixVersion, this);
    UpdateChain = new TUpdateChain(Panel->NodarixVersion, [this] { Panel->ReleasePool(); }, this);
    Panel->BindChain(*UpdateChain);
    // The check neither locks nor releases the controls: only its texts are shown.
    connect(CheckChain, &TChain::status, Panel, &TConnectionPanel::ShowStatus);

    Timer1 = CheckChain->VersionStep->Timer();
    Timer2 = UpdateChain->SettReadStep->Timer();
    Timer3 = UpdateChain->TextReadStep->Timer();
    Timer4 = UpdateChain->ConvertTimer;
    Timer5 = UpdateChain->ZeroStep->Timer();
    Timer6 = UpdateChain->FlashStep->Timer();
    Timer7 = UpdateChain->QPARestartTimer;
    Timer8 = UpdateChain->RestoreSettStep->Timer();
    Timer9 = UpdateChain->RestoreTextStep->Timer();
    Timer10 = UpdateChain->FirmwareStep->Timer();
    Timer11 = UpdateChain->QPBRestartTimer;
    Timer12 = UpdateChain->ResourcesStep->Timer();
    Timer13 = Panel->ListTimer;

    buildControls();
    ApplyWindowFrame(*this, tr8(text::kCaption) + QLatin1Char(' ') + QString::fromLatin1(kUpdateVersion),
                     kClientWidth, kClientHeight);

    connect(CheckChain, &TUpdateCheckChain::languageReady, this, [this] {
        Panel->ComboBox2->setEnabled(true);
        Panel->ChooseLanguage(Panel->NodarixVersion);
    });
    connect(CheckChain, &TUpdateCheckChain::pathChosen, this, &TfmWindows_Update::setPath);
    connect(CheckChain, &TChain::finished, this, [this](TChainEnd end) {
        // A controller the check refuses cannot be updated with the path of an earlier check.
        if (end == TChainEnd::Refused)
            setPath(kPathNone);
    });
    connect(Button1, &QPushButton::clicked, this, &TfmWindows_Update::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfmWindows_Update::Button2Click);
}

TfmWindows_Update::~TfmWindows_Update() {
    FormClose();
}

void TfmWindows_Update::buildControls() {
    auto* page = new QGridLayout(this);
    page->setContentsMargins(8, 6, 8, 8);
    page->setHorizontalSpacing(8);
    page->setVerticalSpacing(8);

    Panel->ConnectionLayout->setRowStretch(Panel->ConnectionLayout->rowCount(), 1);
    Panel->ConnectionGroup->setFixedWidth(270);
    page->addWidget(Panel->ConnectionGroup, 0, 0);

    UpdateGroup = new QGroupBox(tr8(text::kUpdateGroup), this);
    auto* group = new QVBoxLayout(UpdateGroup);
    Button1 = new QPushButton(tr8(text::kCheck), UpdateGroup);
    CheckBox1 = new QCheckBox(tr8(text::kConvert), UpdateGroup);
    CheckBox1->setChecked(true);
    Button2 = new QPushButton(tr8(text::kUpdate), UpdateGroup);
    Button2->setEnabled(false);
    Button2->setProperty(kPathProperty, kPathNone);
    Panel->LanguageRow->setParent(UpdateGroup);
    group->addWidget(Button1);
    group->addSpacing(8);
    group->addWidget(CheckBox1);
    group->addWidget(Panel->LanguageRow);
    group->addStretch(1);
    group->addWidget(Button2);
    page->addWidget(UpdateGroup, 0, 1);
    page->addWidget(Panel->StatusGroup, 1, 0, 1, 2);
    page->setRowStretch(0, 1);

    Panel->ProgressBar1->setMaximum(TUpdateChain::kQPAMaximum);
    // Releasing enables the check and the conversion box; the update button and the language box
    // stay disabled until the next check.
    Panel->AddControl(Button1, true);
    Panel->AddControl(CheckBox1, true);
    Panel->AddControl(Button2, false);
    Panel->AddControl(Panel->ComboBox2, false);
}

int TfmWindows_Update::UpdatePath() const {
    return Button2->property(kPathProperty).toInt();
}

void TfmWindows_Update::setPath(int path) {
    Button2->setProperty(kPathProperty, path);
    Button2->setEnabled(path != kPathNone);
    if (path == kPathQPB) {
        CheckBox1->setEnabled(false);
        CheckBox1->setChecked(false);
    }
}

void TfmWindows_Update::Button1Click() {
    if (const auto target = Panel->LinkTarget())
        CheckChain->Start(*target);
}

void TfmWindows_Update::Button2Click() {
    TUpdateOptions options;
    options.Path = UpdatePath();
    options.Convert = CheckBox1->isChecked();
    options.Language = Panel->ComboBox2->currentIndex() >= 0 ? Panel->ComboBox2->currentText() : QString();
    options.ResCfgFile = ResCfgPath(StartDirectory);
    options.BackupDirectory = StartDirectory;
    Panel->StartChain([this, &options](const TLinkTarget& target) { return UpdateChain->Start(target, options); });
}

void TfmWindows_Update::Timer1Timer() {
    CheckChain->VersionStep->Poll();
}
void TfmWindows_Update::Timer2Timer() {
    UpdateChain->SettReadStep->Poll();
}
void TfmWindows_Update::Timer3Timer() {
    UpdateChain->TextReadStep->Poll();
}
void TfmWindows_Update::Timer4Timer() {
    UpdateChain->Timer4Timer();
}
void TfmWindows_Update::Timer5Timer() {
    UpdateChain->ZeroStep->Poll();
}
void TfmWindows_Update::Timer6Timer() {
    UpdateChain->FlashStep->Poll();
}
void TfmWindows_Update::Timer7Timer() {
    UpdateChain->Timer7Timer();
}
void TfmWindows_Update::Timer8Timer() {
    UpdateChain->RestoreSettStep->Poll();
}
void TfmWindows_Update::Timer9Timer() {
    UpdateChain->RestoreTextStep->Poll();
}
void TfmWindows_Update::Timer10Timer() {
    UpdateChain->FirmwareStep->Poll();
}
void TfmWindows_Update::Timer11Timer() {
    UpdateChain->Timer11Timer();
}
void TfmWindows_Update::Timer12Timer() {
    UpdateChain->ResourcesStep->Poll();
}
void TfmWindows_Update::Timer13Timer() {
    Panel->ListRefreshTick();
}

void TfmWindows_Update::FormClose() {
    CheckChain->Stop();
    Panel->FormClose();
}

void TfmWindows_Update::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);
}
