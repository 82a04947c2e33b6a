#pragma once
// The resources window ("-r"): eight page and eight picture slots of the installer's own files,
// their sizes and the flash space left, and the upload of a resources image into the controller.
// The upload chain lives in workflows/; the window binds it to its controls.
#include "config/Records.h"
#include "flash/ResCfg.h"
#include "shell/ConnectionPanel.h"
#include "workflows/ResourcesUpload.h"

#include <QWidget>
#include <array>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;

class TfmWindows_Resources : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSlots = 8;

    // `startDirectory` holds "Res.txt": the working directory the tool started in.
    explicit TfmWindows_Resources(const QString& startDirectory, QWidget* parent = nullptr);
    ~TfmWindows_Resources() override;

    // Asks for a page (picture false) or picture file; empty when cancelled. Tests replace it.
    std::function<QString(bool picture)> ChooseFile;

    TResCfg ResCfg;
    qint32 FreeFlash = 0;
    TNodarixQPAText NodarixQPAText{};
    const QString ResCfgFile; // "Res.txt" in the start directory

    TConnectionPanel* Panel = nullptr; // CommTask, CommUdp, NodarixVersion, Button8, ComboBox1, ComboBox2 ...
    TResourcesUploadChain* UploadChain = nullptr;
    std::array<QPushButton*, kSlots> OpenHtml{};
    std::array<QPushButton*, kSlots> DeleteHtml{};
    std::array<QLabel*, kSlots> HtmlLabel{};
    std::array<QPushButton*, kSlots> OpenGif{};
    std::array<QPushButton*, kSlots> DeleteGif{};
    std::array<QLabel*, kSlots> GifLabel{};
    QLabel* Label37 = nullptr; // free space
    QPushButton* Button1 = nullptr;

    QTimer* Timer1 = nullptr; // QPA: texts read
    QTimer* Timer2 = nullptr; // QPA: image sent
    QTimer* Timer3 = nullptr; // QPB: image sent
    QTimer* Timer4 = nullptr; // controller list refresh
    QTimer* Timer7 = nullptr; // recognition

    void SetPageSlot(int slot, const QString& path);
    void SetPictureSlot(int slot, const QString& path);
    // Builds the image for the current choice and shows the free space (a warning box on failure).
    void ResourceInfo();

public slots:
    void Button1Click();
    void Button8Click();
    void OpenHtmlClick();
    void DeleteHtmlClick();
    void OpenGifClick();
    void DeleteGifClick();
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void Timer4Timer();
    void Timer7Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void FormShow();
    void FormClose();
    void recognised(int edition);
    QString language() const;
    int slotOf(QObject* button) const;

    bool shown = false;
    bool closed = false;
};
