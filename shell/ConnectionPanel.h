#pragma once
// What the controller windows (settings, update, resources) share: the group "Parametry
// połączenia" with the controller list found on the network, the status group "Status", the
// window's task pool, the start of its tasks, the locking and releasing of its controls, and the
// recognition of the controller. Each window creates one panel and places its two groups.
#include "comm/CommTask.h"
#include "comm/CommUdp.h"
#include "comm/Frame.h"
#include "workflows/Chain.h"
#include "workflows/Recognition.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QWidget;

// The optional parts a window has.
struct TConnectionPanelParts {
    bool Recognition = false; // Button8 "Rozpoznaj Nodarix-a" and the edition box ComboBox1
    bool Language = false;    // the language box ComboBox2 (row LanguageRow, movable to another group)
};

class TConnectionPanel : public QObject {
    Q_OBJECT
public:
    static constexpr quint32 kPoolTimeoutMs = 5000;
    static constexpr int kListRefreshMs = 100;

    // Creates the controls as children of `window` and the discovery object; the list refresh
    // timer runs from now on.
    TConnectionPanel(QWidget& window, TConnectionPanelParts parts);
    ~TConnectionPanel() override;

    // The two groups, for the window's layout.
    QGroupBox* ConnectionGroup = nullptr; // "Parametry połączenia"
    QGroupBox* StatusGroup = nullptr;     // "Status"
    // Rows below the connection group's own controls take the window's extra buttons.
    QGridLayout* ConnectionLayout = nullptr;

    QComboBox* ComboEdit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLabel* JumperNote = nullptr;
    QPushButton* Button8 = nullptr;   // with parts.Recognition
    QComboBox* ComboBox1 = nullptr;   // with parts.Recognition; always disabled
    QWidget* LanguageRow = nullptr;   // with parts.Language: label "Język" and ComboBox2
    QComboBox* ComboBox2 = nullptr;   // with parts.Language; disabled until the window enables it
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* SInfo = nullptr;
    QTimer* ListTimer = nullptr;      // the window's list refresh timer (Timer6, Timer13, Timer4)

    std::unique_ptr<TCommUdp> CommUdp;
    std::unique_ptr<TCommTask> CommTask;
    TNodarixVersion NodarixVersion{};
    int ShownEntries = -1; // list entries last copied into ComboEdit1; -1 before the scan

    // Time-outs of the pool made on the first controller action (5000 ms each); tests shorten them.
    void SetPoolTimeouts(quint32 connTimeout, quint32 readTimeout);
    // The window's pool, created on first use.
    TCommTask& Pool();
    // Releases the pool (its workers end); the next task creates a fresh one.
    void ReleasePool();

    // The controller as the boxes name it, or nothing when the address or the port text is empty.
    std::optional<TLinkTarget> LinkTarget();

    // The window's buttons and inputs that locking disables. A control with its mark set is
    // enabled on release, one without stays disabled; inputs are added with the mark set.
    void AddControl(QWidget* control, bool mark);
    void SetMark(QWidget* control);
    bool Mark(const QWidget* control) const;
    void DisableControls();
    void EnableControls();

    // Shows a chain's status texts and progress in the status group, releases the controls at its
    // end, and stops it when the window closes.
    void BindChain(TChain& chain);
    // The common start of a controller action: nothing at all with an empty address or port;
    // otherwise `start` queues the chain's first task (false: it started nothing) and the controls
    // are locked.
    bool StartChain(const std::function<bool(const TLinkTarget&)>& start);

    void ShowStatus(const QString& text);
    // Shows a chain's progress position in ProgressBar1 (painted with the window's next update).
    void ShowProgress(int position);
    // The edition box's entry: kEditionQPA, kEditionQPB or kEditionNone.
    int EditionIndex() const;
    // Chooses the controller's language in the language box; no match leaves the choice as it was.
    void ChooseLanguage(const TNodarixVersion& version);

    TRecognitionChain* Recognition = nullptr; // with parts.Recognition; its step is the window's Timer7

    // Stops every bound chain and releases the pool (the window's FormClose).
    void FormClose();

public slots:
    void ListRefreshTick();
    void ComboEdit1Change();
    void Button8Click();

signals:
    // Recognition decided the edition (kEditionNone included), before the controls are released.
    void recognised(int edition);

private:
    struct Control {
        QPointer<QWidget> widget;
        bool mark;
    };
    Control* find(const QWidget* control);

    std::vector<Control> controls;
    std::vector<QPointer<TChain>> chains;
    quint32 connTimeout = kPoolTimeoutMs;
    quint32 readTimeout = kPoolTimeoutMs;
};
