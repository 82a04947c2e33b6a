#include "windows/Resources.h"

#include "shell/FormParts.h"
#include "shell/Startup.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

namespace {

// Every text of the window, in one place.
namespace text {
const char* const kCaption = "Zasoby Nodarix-a";
const char* const kSlotsGroup = "Strony i grafika użytkownika";
const char* const kPageSlot = "Strona \"u%1.cgi\"";
const char* const kPictureSlot = "Grafika \"s%1.gif\"";
const char* const kFreeGroup = "Wolna przestrzeń";
const char* const kUpload = "Załaduj zasoby";
const char* const kNone = "-";
} // namespace text

// OpenDialog1 (pages) and OpenDialog2 (pictures).
const TFileDialogSpec OpenDialog1{false, QStringLiteral("Strona html (*.html)"), QStringLiteral("html")};
const TFileDialogSpec OpenDialog2{false, QStringLiteral("Obrazki gif (*.gif)"), QStringLiteral("gif")};

constexpr int kClientWidth = 820;
constexpr int kClientHeight = 640;

} // namespace

TfmWindows_Resources::TfmWindows_Resources(const QString& startDirectory, QWidget* parent)
    : QWidget(parent), ChooseFile([this](bool picture) { return runFileDialog(this, picture ? OpenDialog2 : OpenDialog1); }),
      ResCfgFile(ResCfgPath(startDirectory)) {
    Panel = new TConnectionPanel(*this, {.Recognition = true, .Language = true});
    UploadChain = new TResourcesUploadChain(NodarixQPAText, this);
    Panel->BindChain(*UploadChain);
    Timer1 = UploadChain->TextsStep->Timer();
    Timer2 = UploadChain->QPAFlashStep->Timer();
    Timer3 = UploadChain->QPBFlashStep->Timer();
    Timer4 = Panel->ListTimer;
    Timer7 = Panel->Recognition->VersionStep->Timer();

    buildControls();
    ApplyWindowFrame(*this, tr8(text::kCaption), kClientWidth, kClientHeight);

    connect(Panel, &TConnectionPanel::recognised, this, &TfmWindows_Resources::recognised);
    // Locking disables the language box too, but releasing leaves it alone: only a recognition
    // enables it. The panel's registry enables on release, so the box is kept out of it.
    connect(Panel->Button8, &QPushButton::clicked, this, [this] {
        if (Panel->Recognition->Running())
            Panel->ComboBox2->setEnabled(false);
    });
    connect(Button1, &QPushButton::clicked, this, &TfmWindows_Resources::Button1Click);
}

TfmWindows_Resources::~TfmWindows_Resources() {
    FormClose();
}

void TfmWindows_Resources::buildControls() {
    auto* page = new QGridLayout(this);
    page->setContentsMargins(8, 6, 8, 8);
    page->setHorizontalSpacing(8);
    page->setVerticalSpacing(8);

    Panel->ConnectionLayout->setRowStretch(Panel->ConnectionLayout->rowCount(), 1);
    Panel->ConnectionGroup->setFixedWidth(270);
    page->addWidget(Panel->ConnectionGroup, 0, 0, 2, 1);

    auto* slotsGroup = new QGroupBox(tr8(text::kSlotsGroup), this);
    auto* grid = new QGridLayout(slotsGroup);
    grid->setVerticalSpacing(2);
    grid->setColumnStretch(3, 1);
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon deleteIcon = style()->standardIcon(QStyle::SP_TrashIcon);
    // One row per slot: caption, open button, delete button, file label. The buttons carry their
    // slot number so that one handler serves all eight of a kind.
    const auto addRow = [&](int row, const QString& caption, QPushButton*& open, QPushButton*& remove,
                            QLabel*& label, int slot) {
        grid->addWidget(new QLabel(caption, slotsGroup), row, 0);
        open = new QPushButton(openIcon, QString(), slotsGroup);
        remove = new QPushButton(deleteIcon, QString(), slotsGroup);
        open->setProperty("Tag", slot);
        remove->setProperty("Tag", slot);
        label = new QLabel(tr8(text::kNone), slotsGroup);
        grid->addWidget(open, row, 1);
        grid->addWidget(remove, row, 2);
        grid->addWidget(label, row, 3);
        Panel->AddControl(open, true);
        Panel->AddControl(remove, true);
    };
    for (int k = 0; k < kSlots; ++k) {
        const auto i = static_cast<std::size_t>(k);
        addRow(k, tr8(text::kPageSlot).arg(k + 1), OpenHtml[i], DeleteHtml[i], HtmlLabel[i], k);
        connect(OpenHtml[i], &QPushButton::clicked, this, &TfmWindows_Resources::OpenHtmlClick);
        connect(DeleteHtml[i], &QPushButton::clicked, this, &TfmWindows_Resources::DeleteHtmlClick);
    }
    grid->setRowMinimumHeight(kSlots, 8);
    for (int k = 0; k < kSlots; ++k) {
        const auto i = static_cast<std::size_t>(k);
        addRow(kSlots + 1 + k, tr8(text::kPictureSlot).arg(k + 1), OpenGif[i], DeleteGif[i], GifLabel[i], k);
        connect(OpenGif[i], &QPushButton::clicked, this, &TfmWindows_Resources::OpenGifClick);
        connect(DeleteGif[i], &QPushButton::clicked, this, &TfmWindows_Resources::DeleteGifClick);
    }
    page->addWidget(slotsGroup, 0, 1);

    auto* bottom = new QHBoxLayout;
    auto* freeGroup = new QGroupBox(tr8(text::kFreeGroup), this);
    auto* freeLayout = new QHBoxLayout(freeGroup);
    Label37 = new QLabel(tr8(text::kNone), freeGroup);
    freeLayout->addWidget(Label37);
    freeGroup->setMinimumWidth(180);
    Button1 = new QPushButton(tr8(text::kUpload), this);
    Button1->setEnabled(false);
    Panel->AddControl(Button1, false);
    bottom->addWidget(freeGroup);
    bottom->addStretch(1);
    bottom->addWidget(Button1, 0, Qt::AlignBottom);
    page->addLayout(bottom, 1, 1);
    Panel->ProgressBar1->setMaximum(TResourcesUploadChain::kQPAMaximum);
    page->addWidget(Panel->StatusGroup, 2, 0, 1, 2);
    page->setRowStretch(0, 1);
}

QString TfmWindows_Resources::language() const {
    return Panel->ComboBox2->currentIndex() >= 0 ? Panel->ComboBox2->currentText() : QString();
}

int TfmWindows_Resources::slotOf(QObject* button) const {
    return button ? button->property("Tag").toInt() : 0;
}

void TfmWindows_Resources::SetPageSlot(int slot, const QString& path) {
    const auto i = static_cast<std::size_t>(((slot % kSlots) + kSlots) % kSlots);
    ResCfg.U_Cgi[i] = path;
    HtmlLabel[i]->setText(SlotFileLabel(path));
}

void TfmWindows_Resources::SetPictureSlot(int slot, const QString& path) {
    const auto i = static_cast<std::size_t>(((slot % kSlots) + kSlots) % kSlots);
    ResCfg.S_Gif[i] = path;
    GifLabel[i]->setText(SlotFileLabel(path));
}

void TfmWindows_Resources::ResourceInfo() {
    const QString variant = FlashVariant(Panel->EditionIndex());
    const bool built = !variant.isEmpty() && !BuildImageCopy(variant, language(), false, ResCfg, FreeFlash).isEmpty();
    if (built) {
        Label37->setText(KibLabel(FreeFlash));
        return;
    }
    Label37->setText(tr8(text::kNone));
    QMessageBox box(QMessageBox::Warning, windowTitle(), tr8(kImageFailedText), QMessageBox::Ok, this);
    box.exec();
}

void TfmWindows_Resources::OpenHtmlClick() {
    const int slot = slotOf(sender());
    const QString file = ChooseFile(false);
    if (file.isEmpty())
        return;
    SetPageSlot(slot, file);
    ResourceInfo();
}

void TfmWindows_Resources::DeleteHtmlClick() {
    SetPageSlot(slotOf(sender()), QString());
    ResourceInfo();
}

void TfmWindows_Resources::OpenGifClick() {
    const int slot = slotOf(sender());
    const QString file = ChooseFile(true);
    if (file.isEmpty())
        return;
    SetPictureSlot(slot, file);
    ResourceInfo();
}

void TfmWindows_Resources::DeleteGifClick() {
    SetPictureSlot(slotOf(sender()), QString());
    ResourceInfo();
}

void TfmWindows_Resources::recognised(int edition) {
    if (edition == kEditionNone)
        return;
    Panel->ComboBox2->setEnabled(true);
    Panel->ChooseLanguage(Panel->NodarixVersion);
    Panel->SetMark(Button1);
    ResourceInfo();
}

void TfmWindows_Resources::Button1Click() {
    const int edition = Panel->EditionIndex();
    if (Panel->StartChain([this, edition](const TLinkTarget& target) {
            return UploadChain->Start(target, edition, language(), ResCfg, ResCfgFile);
        }))
        Panel->ComboBox2->setEnabled(false);
}

void TfmWindows_Resources::Button8Click() {
    Panel->Button8Click();
}

void TfmWindows_Resources::Timer1Timer() {
    UploadChain->TextsStep->Poll();
}
void TfmWindows_Resources::Timer2Timer() {
    UploadChain->QPAFlashStep->Poll();
}
void TfmWindows_Resources::Timer3Timer() {
    UploadChain->QPBFlashStep->Poll();
}
void TfmWindows_Resources::Timer4Timer() {
    Panel->ListRefreshTick();
}
void TfmWindows_Resources::Timer7Timer() {
    Panel->Recognition->VersionStep->Poll();
}

void TfmWindows_Resources::FormShow() {
    LoadResCfg(ResCfgFile, ResCfg);
    const TResCfg read = ResCfg;
    for (int k = 0; k < kSlots; ++k) {
        SetPageSlot(k, read.U_Cgi[static_cast<std::size_t>(k)]);
        SetPictureSlot(k, read.S_Gif[static_cast<std::size_t>(k)]);
    }
}

void TfmWindows_Resources::FormClose() {
    Panel->FormClose();
    if (!closed && shown) {
        closed = true;
        SaveResCfg(ResCfgFile, ResCfg);
    }
}

void TfmWindows_Resources::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown) {
        shown = true;
        FormShow();
    }
}

void TfmWindows_Resources::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);
}
