#include "shell/ConnectionPanel.h"

#include "shell/FormParts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Every text the panel shows, in one place.
namespace text {
const char* const kConnectionGroup = "Parametry połączenia";
const char* const kJumperNote = "Proszę zamontować w NodaRix-ie zworę odblokowującą programowanie.";
const char* const kRecognise = "Rozpoznaj Nodarix-a";
const char* const kEdition = "Docelowa wersja Nodarix-a";
const char* const kLanguage = "Język";
const char* const kStatusGroup = "Status";
} // namespace text

constexpr int kPasswordMaxLength = 16;

} // namespace

TConnectionPanel::TConnectionPanel(QWidget& window, TConnectionPanelParts parts)
    : QObject(&window), CommUdp(std::make_unique<TCommUdp>()) {
    ConnectionGroup = new QGroupBox(tr8(text::kConnectionGroup), &window);
    ConnectionLayout = new QGridLayout(ConnectionGroup);
    ConnectionLayout->setVerticalSpacing(4);

    ComboEdit1 = new QComboBox(ConnectionGroup);
    ComboEdit1->setEditable(true);
    ComboEdit1->setInsertPolicy(QComboBox::NoInsert);
    ComboEdit1->setEditText(tr8(connection_text::kAddressInitial));
    Edit2 = new QLineEdit(tr8(connection_text::kTcpPortInitial), ConnectionGroup);
    Edit3 = new QLineEdit(tr8(connection_text::kPasswordInitial), ConnectionGroup);
    Edit3->setEchoMode(QLineEdit::Password);
    Edit3->setMaxLength(kPasswordMaxLength);
    captioned(ConnectionLayout, ConnectionLayout->rowCount(), 0, tr8(connection_text::kAddress), ComboEdit1);
    captioned(ConnectionLayout, ConnectionLayout->rowCount(), 0, tr8(connection_text::kTcpPort), Edit2);
    captioned(ConnectionLayout, ConnectionLayout->rowCount(), 0, tr8(connection_text::kPassword), Edit3);
    JumperNote = new QLabel(tr8(text::kJumperNote), ConnectionGroup);
    JumperNote->setWordWrap(true);
    ConnectionLayout->addWidget(JumperNote, ConnectionLayout->rowCount(), 0);
    AddControl(ComboEdit1, true);
    AddControl(Edit2, true);
    AddControl(Edit3, true);

    // The status group comes first: the recognition chain is bound to it.
    StatusGroup = new QGroupBox(tr8(text::kStatusGroup), &window);
    auto* status = new QVBoxLayout(StatusGroup);
    ProgressBar1 = new QProgressBar(StatusGroup);
    ProgressBar1->setOrientation(Qt::Horizontal);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setValue(0);
    SInfo = new QLabel(StatusGroup);
    SInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status->addWidget(ProgressBar1);
    status->addWidget(SInfo);

    if (parts.Recognition) {
        Button8 = new QPushButton(tr8(text::kRecognise), ConnectionGroup);
        ConnectionLayout->addWidget(Button8, ConnectionLayout->rowCount(), 0);
        ComboBox1 = new QComboBox(ConnectionGroup);
        ComboBox1->addItems(EditionNames());
        ComboBox1->setCurrentIndex(-1);
        ComboBox1->setEnabled(false);
        captioned(ConnectionLayout, ConnectionLayout->rowCount(), 0, tr8(text::kEdition), ComboBox1);
        AddControl(Button8, true);
        Recognition = new TRecognitionChain(NodarixVersion, this);
        BindChain(*Recognition);
        connect(Recognition, &TRecognitionChain::recognised, this, [this](int edition) {
            ComboBox1->setCurrentIndex(edition);
            emit recognised(edition);
        });
        connect(Button8, &QPushButton::clicked, this, &TConnectionPanel::Button8Click);
    }
    if (parts.Language) {
        LanguageRow = new QWidget(ConnectionGroup);
        auto* row = new QVBoxLayout(LanguageRow);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(ConnectionLayout->verticalSpacing());
        ComboBox2 = new QComboBox(LanguageRow);
        ComboBox2->addItems(LanguageNames());
        ComboBox2->setCurrentIndex(-1);
        ComboBox2->setEnabled(false);
        auto* label = new QLabel(tr8(text::kLanguage), LanguageRow);
        label->setBuddy(ComboBox2);
        row->addWidget(label);
        row->addWidget(ComboBox2);
        ConnectionLayout->addWidget(LanguageRow, ConnectionLayout->rowCount(), 0);
    }

    connect(ComboEdit1, &QComboBox::currentTextChanged, this, &TConnectionPanel::ComboEdit1Change);
    ListTimer = new QTimer(this);
    ListTimer->setInterval(kListRefreshMs);
    connect(ListTimer, &QTimer::timeout, this, &TConnectionPanel::ListRefreshTick);
    ListTimer->start();
}

TConnectionPanel::~TConnectionPanel() {
    FormClose();
    ListTimer->stop();
    CommUdp.reset();
}

void TConnectionPanel::SetPoolTimeouts(quint32 conn, quint32 read) {
    connTimeout = conn;
    readTimeout = read;
}

TCommTask& TConnectionPanel::Pool() {
    if (!CommTask)
        CommTask = std::make_unique<TCommTask>(connTimeout, readTimeout);
    return *CommTask;
}

void TConnectionPanel::ReleasePool() {
    // The field is cleared before the pool is released, so nothing polls a pool being joined.
    std::unique_ptr<TCommTask> pool = std::move(CommTask);
    pool.reset();
}

std::optional<TLinkTarget> TConnectionPanel::LinkTarget() {
    const QString host = ComboEdit1->currentText();
    const QString port = Edit2->text();
    if (host.isEmpty() || port.isEmpty())
        return std::nullopt;
    return TLinkTarget{[this]() -> TCommTask& { return Pool(); }, host, PortNumber(port), Edit3->text()};
}

TConnectionPanel::Control* TConnectionPanel::find(const QWidget* control) {
    for (Control& c : controls)
        if (c.widget == control)
            return &c;
    return nullptr;
}

void TConnectionPanel::AddControl(QWidget* control, bool mark) {
    if (Control* known = find(control)) {
        known->mark = mark;
        return;
    }
    controls.push_back({control, mark});
}

void TConnectionPanel::SetMark(QWidget* control) {
    if (Control* c = find(control))
        c->mark = true;
}

bool TConnectionPanel::Mark(const QWidget* control) const {
    for (const Control& c : controls)
        if (c.widget == control)
            return c.mark;
    return false;
}

void TConnectionPanel::DisableControls() {
    for (const Control& c : controls)
        if (c.widget)
            c.widget->setEnabled(false);
}

void TConnectionPanel::EnableControls() {
    for (const Control& c : controls)
        if (c.widget)
            c.widget->setEnabled(c.mark);
}

void TConnectionPanel::BindChain(TChain& chain) {
    connect(&chain, &TChain::status, this, &TConnectionPanel::ShowStatus);
    connect(&chain, &TChain::progressMaximum, ProgressBar1, &QProgressBar::setMaximum);
    connect(&chain, &TChain::progressPosition, this, &TConnectionPanel::ShowProgress);
    connect(&chain, &TChain::finished, this, &TConnectionPanel::EnableControls);
    chains.emplace_back(&chain);
}

bool TConnectionPanel::StartChain(const std::function<bool(const TLinkTarget&)>& start) {
    const std::optional<TLinkTarget> target = LinkTarget();
    if (!target || !start(*target))
        return false;
    DisableControls();
    return true;
}

void TConnectionPanel::ShowStatus(const QString& text) {
    SInfo->setText(text);
}

void TConnectionPanel::ShowProgress(int position) {
    // QProgressBar::setValue paints at once whenever the shown percentage changes, for programs that
    // hold up the event loop. This one never does, so the bar is painted with the window's next
    // update instead: a progress report then costs no paint and flush of its own on the UI thread.
    ProgressBar1->setUpdatesEnabled(false);
    ProgressBar1->setValue(position);
    ProgressBar1->setUpdatesEnabled(true); // schedules the bar's paint
}

int TConnectionPanel::EditionIndex() const {
    return ComboBox1 ? ComboBox1->currentIndex() : kEditionNone;
}

void TConnectionPanel::ChooseLanguage(const TNodarixVersion& version) {
    const int index = LanguageIndex(version);
    if (ComboBox2 && index >= 0)
        ComboBox2->setCurrentIndex(index);
}

void TConnectionPanel::FormClose() {
    for (const QPointer<TChain>& chain : chains)
        if (chain)
            chain->Stop();
    ReleasePool();
}

void TConnectionPanel::ListRefreshTick() {
    if (!CommUdp)
        return;
    if (ShownEntries < 0) {
        ShownEntries = 0;
        CommUdp->ScanNodarixs();
        return;
    }
    const qint32 count = CommUdp->ScanCount();
    if (count == ShownEntries)
        return;
    // The list is rebuilt whole, in scan order; the address text stays as it was.
    const QSignalBlocker blocker(ComboEdit1);
    const QString address = ComboEdit1->currentText();
    ComboEdit1->clear();
    ShownEntries = count;
    for (qint32 i = 0; i < count; ++i)
        ComboEdit1->addItem(CommUdp->GetScanParam(i, 12));
    ComboEdit1->setCurrentIndex(-1);
    ComboEdit1->setEditText(address);
}

void TConnectionPanel::ComboEdit1Change() {
    if (!CommUdp)
        return;
    const int i = ComboEdit1->findText(ComboEdit1->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    // An address that matches no entry leaves the port box as it was.
    if (i >= 0 && i < CommUdp->ScanCount())
        Edit2->setText(CommUdp->GetScanParam(i, 11));
}

void TConnectionPanel::Button8Click() {
    if (!Recognition)
        return;
    StartChain([this](const TLinkTarget& target) {
        Recognition->Start(target);
        return true;
    });
}
