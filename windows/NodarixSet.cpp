#include "windows/NodarixSet.h"

#include "config/ConfigTextFile.h"
#include "config/RawImport.h"
#include "shell/FormParts.h"
#include "shell/Startup.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Every text the window shows, in one place (the chains' texts are in workflows/).
namespace text {
const char* const kCaption = "Ustawienia nodarix-a";
const char* const kRead = "Odczytaj konfigurację ze Nodarix-a";
const char* const kOnlyConfigured = "Uwzględnij tylko skonfigurowane zasoby";
const char* const kSaveFile = "Zapisz konfigurację do pliku";
const char* const kPreview = "Podgląd ustawień:";
const char* const kReadFile = "Odczytaj konfigurację z pliku";
const char* const kAppendFile = "Dołącz konfigurację z pliku";
const char* const kWrite = "Zapisz konfigurację do Nodarix-a";
const char* const kReadNdc = "Odczytaj ustawienia z pliku NDC";
const char* const kReadNdt = "Odczytaj teksty z pliku NDT";
const char* const kClear = "Wyczyść ustawienia";
const char* const kHttpOn = "Włącz serwer HTTP";
const char* const kHttpOff = "Wyłącz serwer HTTP";
const char* const kFileNotRead = "Błąd: nie można odczytać pliku %1";
const char* const kFileNotSaved = "Błąd: nie można zapisać pliku %1";
} // namespace text

constexpr int kInitialProgressMaximum = 40960;

} // namespace

const TFileDialogSpec TfmWindows_Nodarix_Set::SaveDialog1{true, QStringLiteral("Ustawienia tekstowe (*.ndrx)"),
                                                          QStringLiteral("ndrx")};
const TFileDialogSpec TfmWindows_Nodarix_Set::OpenDialog1{false, QStringLiteral("Ustawienia tekstowe (*.ndrx)"),
                                                          QStringLiteral("ndrx")};
const TFileDialogSpec TfmWindows_Nodarix_Set::OpenDialog2{false, QStringLiteral("Teksty nodarix-a (*.ndt)"),
                                                          QStringLiteral("ndt")};
const TFileDialogSpec TfmWindows_Nodarix_Set::OpenDialog3{false, QStringLiteral("Ustawienia nodarix-a (*.ndc)"),
                                                          QStringLiteral("ndc")};

TfmWindows_Nodarix_Set::TfmWindows_Nodarix_Set(QWidget* parent)
    : QWidget(parent), ChooseFile([this](const TFileDialogSpec& spec) { return runFileDialog(this, spec); }),
      Images(std::make_unique<TSettingsImages>()) {
    Panel = new TConnectionPanel(*this, {.Recognition = true, .Language = false});
    ReadChain = new TSettingsReadChain(Panel->NodarixVersion, *Images, this);
    WriteChain = new TSettingsWriteChain(*Images, this);
    HttpOnChain = new THttpSwitchChain(true, this);
    HttpOffChain = new THttpSwitchChain(false, this);
    for (TChain* chain : std::initializer_list<TChain*>{ReadChain, WriteChain, HttpOnChain, HttpOffChain})
        Panel->BindChain(*chain);
    Timer1 = ReadChain->VersionStep->Timer();
    Timer2 = ReadChain->SettingsStep->Timer();
    Timer3 = ReadChain->CompanionStep->Timer();
    Timer4 = WriteChain->SettingsStep->Timer();
    Timer5 = WriteChain->CompanionStep->Timer();
    Timer6 = Panel->ListTimer;
    Timer7 = Panel->Recognition->VersionStep->Timer();
    Timer8 = HttpOnChain->SwitchStep->Timer();
    Timer9 = HttpOffChain->SwitchStep->Timer();

    buildControls();
    ApplyWindowFrame(*this, tr8(text::kCaption), 980, 640);

    connect(ReadChain, &TSettingsReadChain::textReady, this, &TfmWindows_Nodarix_Set::showText);
    connect(ReadChain, &TChain::finished, this, [this](TChainEnd end) {
        if (end == TChainEnd::Rejected)
            selectLine(ReadChain->ReadBack().FailedLine);
    });
    connect(Panel, &TConnectionPanel::recognised, this, [this](int edition) {
        if (edition == kEditionNone)
            return;
        Panel->SetMark(Button4);
        Panel->SetMark(Button5);
        Panel->SetMark(Button2);
    });
    connect(Button1, &QPushButton::clicked, this, &TfmWindows_Nodarix_Set::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfmWindows_Nodarix_Set::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TfmWindows_Nodarix_Set::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TfmWindows_Nodarix_Set::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TfmWindows_Nodarix_Set::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &TfmWindows_Nodarix_Set::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &TfmWindows_Nodarix_Set::Button7Click);
    connect(Button9, &QPushButton::clicked, this, &TfmWindows_Nodarix_Set::Button9Click);
    connect(Button10, &QPushButton::clicked, this, &TfmWindows_Nodarix_Set::Button10Click);
    connect(Button11, &QPushButton::clicked, this, &TfmWindows_Nodarix_Set::Button11Click);
}

TfmWindows_Nodarix_Set::~TfmWindows_Nodarix_Set() {
    FormClose();
}

void TfmWindows_Nodarix_Set::buildControls() {
    auto* page = new QGridLayout(this);
    page->setContentsMargins(8, 6, 8, 8);
    page->setHorizontalSpacing(8);
    page->setVerticalSpacing(8);

    Button10 = new QPushButton(tr8(text::kHttpOn), Panel->ConnectionGroup);
    Button11 = new QPushButton(tr8(text::kHttpOff), Panel->ConnectionGroup);
    Panel->ConnectionLayout->setRowMinimumHeight(Panel->ConnectionLayout->rowCount(), 8);
    Panel->ConnectionLayout->addWidget(Button10, Panel->ConnectionLayout->rowCount(), 0);
    Panel->ConnectionLayout->addWidget(Button11, Panel->ConnectionLayout->rowCount(), 0);
    Panel->ConnectionLayout->setRowStretch(Panel->ConnectionLayout->rowCount(), 1);
    Panel->ConnectionGroup->setFixedWidth(270);
    page->addWidget(Panel->ConnectionGroup, 0, 0);

    SettingsGroup = new QGroupBox(tr8(text::kCaption), this);
    auto* settings = new QGridLayout(SettingsGroup);
    settings->setHorizontalSpacing(10);
    settings->setVerticalSpacing(6);
    auto* preview = new QLabel(tr8(text::kPreview), SettingsGroup);
    Memo2 = new QPlainTextEdit(SettingsGroup);
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::Monospace);
    courier.setFixedPitch(true);
    Memo2->setFont(courier);
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2->setTabStopDistance(4 * QFontMetricsF(courier).horizontalAdvance(QLatin1Char(' '))); // sections stay narrow
    preview->setBuddy(Memo2);
    settings->addWidget(preview, 0, 0);
    settings->addWidget(Memo2, 1, 0, 12, 1);

    Button1 = new QPushButton(tr8(text::kRead), SettingsGroup);
    CheckBox1 = new QCheckBox(tr8(text::kOnlyConfigured), SettingsGroup);
    CheckBox1->setChecked(true);
    Button3 = new QPushButton(tr8(text::kSaveFile), SettingsGroup);
    Button4 = new QPushButton(tr8(text::kReadFile), SettingsGroup);
    Button5 = new QPushButton(tr8(text::kAppendFile), SettingsGroup);
    Button2 = new QPushButton(tr8(text::kWrite), SettingsGroup);
    Button6 = new QPushButton(tr8(text::kReadNdc), SettingsGroup);
    Button7 = new QPushButton(tr8(text::kReadNdt), SettingsGroup);
    Button9 = new QPushButton(tr8(text::kClear), SettingsGroup);
    // The buttons in the order of the installer's work: read, save, load, write; then the imports.
    int row = 1;
    for (QWidget* w : std::initializer_list<QWidget*>{Button1, CheckBox1, Button3, Button4, Button5, Button2})
        settings->addWidget(w, row++, 1);
    settings->setRowMinimumHeight(row++, 16);
    for (QWidget* w : std::initializer_list<QWidget*>{Button6, Button7, Button9})
        settings->addWidget(w, row++, 1);
    settings->setRowStretch(row, 1);
    settings->setColumnStretch(0, 1);
    page->addWidget(SettingsGroup, 0, 1, 2, 1);

    Panel->ProgressBar1->setMaximum(kInitialProgressMaximum);
    page->addWidget(Panel->StatusGroup, 2, 0, 1, 2);
    page->setColumnStretch(1, 1);
    page->setRowStretch(1, 1);

    // Locking and releasing (the connection boxes and Button8 are the panel's own).
    const std::pair<QWidget*, bool> controls[] = {
        {Button1, true},  {Button2, false}, {Button3, true},  {Button4, false}, {Button5, false},
        {Button6, true},  {Button7, true},  {Button9, true},  {Button10, true}, {Button11, true},
        {CheckBox1, true}, {Memo2, true}};
    for (const auto& [control, mark] : controls)
        Panel->AddControl(control, mark);
    Panel->EnableControls();
}

void TfmWindows_Nodarix_Set::Button1Click() {
    Panel->StartChain([this](const TLinkTarget& target) {
        ReadChain->Start(target, CheckBox1->isChecked());
        return true;
    });
}

void TfmWindows_Nodarix_Set::Button2Click() {
    Panel->StartChain([this](const TLinkTarget& target) { return WriteChain->Start(target, Panel->EditionIndex()); });
}

void TfmWindows_Nodarix_Set::Button3Click() {
    if (Memo2->document()->isEmpty())
        return;
    const QString path = ChooseFile(SaveDialog1);
    if (path.isEmpty())
        return;
    QString error;
    if (!SaveConfigTextFile(path, Memo2->toPlainText().split(QLatin1Char('\n')), error))
        Panel->ShowStatus(tr8(text::kFileNotSaved).arg(error));
}

void TfmWindows_Nodarix_Set::Button4Click() {
    readTextFile(false);
}

void TfmWindows_Nodarix_Set::Button5Click() {
    readTextFile(true);
}

void TfmWindows_Nodarix_Set::readTextFile(bool append) {
    const QString path = ChooseFile(OpenDialog1);
    if (path.isEmpty())
        return;
    const TConfigTextLoad load = LoadConfigTextFile(path);
    if (!load.Text) {
        Panel->ShowStatus(tr8(text::kFileNotRead).arg(load.Error));
        return;
    }
    showText(*load.Text);
    Images->Settings = *load.Text;
    const TTextRead read = TextToImages(*Images, Panel->EditionIndex(), Images->Settings, append);
    Panel->ShowStatus(read.Status);
    selectLine(read.FailedLine);
}

void TfmWindows_Nodarix_Set::Button6Click() {
    importRawFile(OpenDialog3, [this](const QString& path) { return ImportNdcFile(path, Images->NodarixQPAConfig); });
}

void TfmWindows_Nodarix_Set::Button7Click() {
    importRawFile(OpenDialog2, [this](const QString& path) { return ImportNdtFile(path, Images->NodarixQPAText); });
}

void TfmWindows_Nodarix_Set::importRawFile(const TFileDialogSpec& dialog,
                                           const std::function<QString(const QString&)>& import) {
    const QString path = ChooseFile(dialog);
    if (path.isEmpty())
        return;
    if (const QString error = import(path); !error.isEmpty()) {
        Panel->ShowStatus(error);
        return;
    }
    // The imported image is not read back: a following write sends it as it came from the file.
    Images->Settings = ImportedQPAText(Images->NodarixQPAConfig, CheckBox1->isChecked(), Images->NodarixQPAText);
    showText(Images->Settings);
}

void TfmWindows_Nodarix_Set::Button9Click() {
    Memo2->clear();
    Images->Clear();
}

void TfmWindows_Nodarix_Set::Button10Click() {
    Panel->StartChain([this](const TLinkTarget& target) {
        HttpOnChain->Start(target);
        return true;
    });
}

void TfmWindows_Nodarix_Set::Button11Click() {
    Panel->StartChain([this](const TLinkTarget& target) {
        HttpOffChain->Start(target);
        return true;
    });
}

void TfmWindows_Nodarix_Set::Timer1Timer() {
    ReadChain->VersionStep->Poll();
}
void TfmWindows_Nodarix_Set::Timer2Timer() {
    ReadChain->SettingsStep->Poll();
}
void TfmWindows_Nodarix_Set::Timer3Timer() {
    ReadChain->CompanionStep->Poll();
}
void TfmWindows_Nodarix_Set::Timer4Timer() {
    WriteChain->SettingsStep->Poll();
}
void TfmWindows_Nodarix_Set::Timer5Timer() {
    WriteChain->CompanionStep->Poll();
}
void TfmWindows_Nodarix_Set::Timer6Timer() {
    Panel->ListRefreshTick();
}
void TfmWindows_Nodarix_Set::Timer7Timer() {
    Panel->Recognition->VersionStep->Poll();
}
void TfmWindows_Nodarix_Set::Timer8Timer() {
    HttpOnChain->SwitchStep->Poll();
}
void TfmWindows_Nodarix_Set::Timer9Timer() {
    HttpOffChain->SwitchStep->Poll();
}

void TfmWindows_Nodarix_Set::showText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (shown.endsWith(QLatin1Char('\n')))
        shown.chop(1);
    Memo2->setPlainText(shown);
}

void TfmWindows_Nodarix_Set::selectLine(int line) {
    const QTextBlock block = Memo2->document()->findBlockByNumber(line - 1);
    if (line <= 0 || !block.isValid())
        return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    Memo2->setTextCursor(cursor);
    Memo2->ensureCursorVisible();
}

void TfmWindows_Nodarix_Set::FormShow() {
    Button9Click();
}

void TfmWindows_Nodarix_Set::FormClose() {
    Panel->FormClose();
}

void TfmWindows_Nodarix_Set::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown) {
        shown = true;
        FormShow();
    }
}

void TfmWindows_Nodarix_Set::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);
}
