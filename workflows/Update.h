#pragma once
// The firmware update: the check of the controller (Button1 of the update window) and the update
// itself, along the QPA path (configuration read, converted, backed up and cleared; firmware
// image; restart; the converted configuration written back) or the QPB path (firmware image;
// restart; resources image).
//
// Nothing is written to a controller before everything that could stop the update has been done:
// the conversion, the language, the flash image(s) and, for QPA, the backup of the configuration
// as read. A failure after the configuration was cleared names the backup.
#include "comm/Frame.h"
#include "config/Records.h"
#include "workflows/Chain.h"

#include <QByteArray>
#include <QStringList>
#include <functional>

class QTimer;

extern const char* const kUpdateVersion; // "V4.1.3d", the version the tool carries

// The versions an update starts from.
QStringList UpdatableVersions();

// Update path that the check sets.
enum TUpdatePath : int { kPathNone = 0, kPathQPA = 1, kPathQPB = 2 };

// Connect and check: the version record, then version, jumper and edition.
class TUpdateCheckChain : public TChain {
    Q_OBJECT
public:
    explicit TUpdateCheckChain(TNodarixVersion& NodarixVersion, QObject* parent = nullptr);

    void Start(const TLinkTarget& target);
    TTaskStep* const VersionStep; // the window's Timer1

signals:
    // Version and jumper passed: the language box is enabled and takes the controller's language.
    void languageReady();
    // The edition decided the path (kPathNone: neither edition), before the chain's end.
    void pathChosen(int path);

private:
    void versionRead();
    TNodarixVersion& NodarixVersion;
};

// What one update run needs beyond the link.
struct TUpdateOptions {
    int Path = kPathNone;
    bool Convert = true;    // CheckBox1 (QPA only)
    QString Language;       // "PL", "EN", "IT"; empty when none is chosen
    QString ResCfgFile;     // the user resource list read for the images; empty: built-in pages only
    QString BackupDirectory; // where the QPA backup folder goes
};

class TUpdateChain : public TChain {
    Q_OBJECT
public:
    static constexpr int kQPAMaximum = 614400;
    static constexpr int kQPBMaximum = 1048576;
    static constexpr int kQPARestartWaitMs = 10000;
    static constexpr int kQPBRestartWaitMs = 15000;

    // `renewPool` releases the link's task pool and makes a new one (5000, 5000) for the restarted
    // controller.
    TUpdateChain(const TNodarixVersion& NodarixVersion, std::function<void()> renewPool,
                 QObject* parent = nullptr);

    // Starts the path the check chose; false when there is none (nothing happens then).
    bool Start(const TLinkTarget& target, const TUpdateOptions& options);

    // Also stops the one-shot steps (conversion and the waits after the restart).
    void Stop() override;

    // Shortens the waits after the restart command (tests and rehearsals against the simulator).
    void SetRestartWaits(int qpaMs, int qpbMs);

    TTaskStep* const SettReadStep;    // Timer2
    TTaskStep* const TextReadStep;    // Timer3
    QTimer* const ConvertTimer;       // Timer4, one-shot
    TTaskStep* const ZeroStep;        // Timer5
    TTaskStep* const FlashStep;       // Timer6
    QTimer* const QPARestartTimer;    // Timer7, one-shot, 10 s
    TTaskStep* const RestoreSettStep; // Timer8
    TTaskStep* const RestoreTextStep; // Timer9
    TTaskStep* const FirmwareStep;    // Timer10
    QTimer* const QPBRestartTimer;    // Timer11, one-shot, 15 s
    TTaskStep* const ResourcesStep;   // Timer12

    TNodarixQPAConfig NodarixQPAConfig{};
    TNodarixQPAText NodarixQPAText{};
    TDCircuitRemap DCircuitRemap{};
    TACircuitRemap ACircuitRemap{};
    QString Settings;

    // The backup folder of the last QPA run, empty when none was written.
    QString BackupFolder;

    // The one-shot steps, each at its timer's tick: the conversion and zeroing (Timer4), and the
    // steps 10 s (Timer7, QPA) and 15 s (Timer11, QPB) after the restart command.
    void Timer4Timer();
    void Timer7Timer();
    void Timer11Timer();

protected:
    QString FailureStatus(const QString& text) const override;

private:
    void Timer5Done();
    void Timer8Done();
    // The firmware image is written (Timer6, Timer10): restart the controller and wait.
    void firmwareWritten(int end, QTimer* restartWait);
    // Builds an image for this run's language; false (with the status shown and the chain ended) when
    // there is no language or the build fails.
    bool buildImage(const QString& variant, bool withFirmware, QByteArray& into);
    bool writeBackup();
    // Reads Settings into the images (AutoPlace as given); false, with the reader's message shown
    // and the chain ended, when it fails.
    bool readSettings(std::uint8_t autoPlace);
    void fail(const QString& text, TChainEnd end);
    void send(TTaskStep* step, const std::function<qint32(TCommTask&, const QString&, quint16, bool,
                                                          const QString&, const void*)>& add,
              const void* data);

    const TNodarixVersion& NodarixVersion;
    std::function<void()> renewPool;
    TLinkTarget target;
    TUpdateOptions options;
    QByteArray readConfig; // the images as read, for the backup
    QByteArray readTexts;
    QByteArray firstImage;  // firmware image (QPA: with the web resources)
    QByteArray secondImage; // QPB: the resources image
    bool cleared = false;   // the controller's settings image has been zeroed in this run
};
