#include "workflows/Update.h"

#include "config/ConfigBackup.h"
#include "config/ConfigError.h"
#include "config/ConfigText.h"
#include "flash/ResCfg.h"
#include "workflows/Recognition.h"
#include "workflows/ResourcesUpload.h"

#include <QDateTime>
#include <QTimer>
#include <cstring>

const char* const kUpdateVersion = "V4.1.3d";

namespace {

constexpr std::uint8_t kJumperFitted = 101;

const char* const kWrongVersionText = "Aktualizacja możliwa tylko z wersji \"V4.0.1\".";
const char* const kNoJumperText = "Brak zwory odblokowującej programowanie nodarix-a.";
const char* const kQPAReadyText = "NodaRix \"QPA\" jest gotowy do aktualizacji.";
const char* const kQPBReadyText = "NodaRix \"QPB\" jest gotowy do aktualizacji.";
const char* const kUnknownEditionText = "Nie można zweryfikować wykonania nodarix-a.";

const char* const kSettReadText = "Odczyt konfiguracji nodarix-a ...";
const char* const kSettReadOkText = "Konfiguracja odczytana.";
const char* const kConvertText = "Konwersja konfiguracji ...";
const char* const kConvertOkText = "Konwersja OK.";
const char* const kZeroText = "Zerowanie konfiguracji nodarix-a ...";
const char* const kZeroOkText = "Zerowanie OK.";
const char* const kUpdatingText = "Aktualizowanie nodarix-a ...";
const char* const kUpdatingOkText = "Aktualizowanie OK.";
const char* const kRestartText = "Restart nodarix-a ...";
const char* const kRestoreSettText = "Przywracanie konfiguracji nodarix-a ...";
const char* const kRestoreSettOkText = "Konfiguracja OK.";
const char* const kRestoreTextText = "Przywracanie tekstów nodarix-a ...";
const char* const kRestoreTextOkText = "Teksty OK.";
const char* const kRestoreResourcesText = "Przywracanie zasobów nodarix-a ...";
const char* const kDoneText = "Aktualizacja zakończona.";
// The backup of the configuration as read, before the controller's settings are cleared.
const char* const kBackupText = "Kopia konfiguracji: %1";
const char* const kLossesText = "Błąd: konwersja pominęłaby część konfiguracji: %1 (pozycji: %2).";
const char* const kBackupFailedText = "Błąd: nie można zapisać kopii konfiguracji (%1).";

// Progress table: base while running and factor of Progres; each step ends where the next begins.
constexpr int kSettBytes = 8192;
constexpr int kTextsEnd = 40960;
constexpr int kZeroEnd = 49152;
constexpr int kFlashEnd = 573440;
constexpr int kRestoreSettEnd = 581632;
constexpr int kSettFactor = 81;
constexpr int kTextsFactor = 327;
constexpr int kFlashFactor = 5242;
constexpr int kFirmwareEnd = 524288;

QString utf8(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

QStringList UpdatableVersions() {
    return {QStringLiteral("V4.0.1"), QStringLiteral("V4.1.0"), QStringLiteral("V4.1.1"), QStringLiteral("V4.1.2"),
            QStringLiteral("V4.1.3")};
}

TUpdateCheckChain::TUpdateCheckChain(TNodarixVersion& NodarixVersion, QObject* parent)
    : TChain(parent), VersionStep(AddStep()), NodarixVersion(NodarixVersion) {
    connect(VersionStep, &TTaskStep::succeeded, this, &TUpdateCheckChain::versionRead);
}

void TUpdateCheckChain::Start(const TLinkTarget& target) {
    VersionStep->Start(target, &TCommTask::AddTaskVersion, &NodarixVersion);
}

void TUpdateCheckChain::versionRead() {
    if (!UpdatableVersions().contains(VersionText(NodarixVersion))) {
        emit status(utf8(kWrongVersionText));
        Finish(TChainEnd::Refused);
        return;
    }
    if (static_cast<std::uint8_t>(NodarixVersion.Switch) != kJumperFitted) {
        emit status(utf8(kNoJumperText));
        Finish(TChainEnd::Refused);
        return;
    }
    emit languageReady();
    switch (EditionOf(NodarixVersion)) {
    case kEditionQPA:
        emit status(utf8(kQPAReadyText));
        emit pathChosen(kPathQPA);
        Finish(TChainEnd::Done);
        return;
    case kEditionQPB:
        emit status(utf8(kQPBReadyText));
        emit pathChosen(kPathQPB);
        Finish(TChainEnd::Done);
        return;
    default:
        emit status(utf8(kUnknownEditionText));
        emit pathChosen(kPathNone);
        Finish(TChainEnd::Refused);
        return;
    }
}

namespace {

QTimer* oneShot(QObject* parent, int ms) {
    auto* timer = new QTimer(parent);
    timer->setSingleShot(true);
    timer->setInterval(ms);
    return timer;
}

} // namespace

TUpdateChain::TUpdateChain(const TNodarixVersion& NodarixVersion, std::function<void()> renewPool,
                           QObject* parent)
    : TChain(parent), SettReadStep(AddStep()), TextReadStep(AddStep()),
      ConvertTimer(oneShot(this, TTaskStep::kPollIntervalMs)), ZeroStep(AddStep()), FlashStep(AddStep()),
      QPARestartTimer(oneShot(this, kQPARestartWaitMs)), RestoreSettStep(AddStep()), RestoreTextStep(AddStep()),
      FirmwareStep(AddStep()), QPBRestartTimer(oneShot(this, kQPBRestartWaitMs)), ResourcesStep(AddStep()),
      NodarixVersion(NodarixVersion), renewPool(std::move(renewPool)) {
    SettReadStep->SetProgress(0, kSettFactor);
    TextReadStep->SetProgress(kSettBytes, kTextsFactor);
    ZeroStep->SetProgress(kTextsEnd, kSettFactor);
    FlashStep->SetProgress(kZeroEnd, kFlashFactor);
    RestoreSettStep->SetProgress(kFlashEnd, kSettFactor);
    RestoreTextStep->SetProgress(kRestoreSettEnd, kTextsFactor);
    FirmwareStep->SetProgress(0, kFlashFactor);
    ResourcesStep->SetProgress(kFirmwareEnd, kFlashFactor);

    connect(SettReadStep, &TTaskStep::succeeded, this, [this] {
        emit progressPosition(kSettBytes);
        emit status(utf8(kSettReadOkText));
        TextReadStep->Start(target, &TCommTask::AddTaskConfQPATextRead, &NodarixQPAText);
        emit status(utf8(kTextsReadText));
    });
    connect(TextReadStep, &TTaskStep::succeeded, this, [this] {
        emit progressPosition(kTextsEnd);
        emit status(utf8(kTextsReadOkText));
        emit status(utf8(kConvertText));
        ConvertTimer->start();
    });
    connect(ConvertTimer, &QTimer::timeout, this, &TUpdateChain::Timer4Timer);
    connect(ZeroStep, &TTaskStep::succeeded, this, &TUpdateChain::Timer5Done);
    connect(FlashStep, &TTaskStep::succeeded, this, [this] { firmwareWritten(kFlashEnd, QPARestartTimer); });
    connect(QPARestartTimer, &QTimer::timeout, this, &TUpdateChain::Timer7Timer);
    connect(RestoreSettStep, &TTaskStep::succeeded, this, &TUpdateChain::Timer8Done);
    connect(RestoreTextStep, &TTaskStep::succeeded, this, [this] {
        emit progressPosition(kQPAMaximum);
        emit status(utf8(kRestoreTextOkText));
        emit status(utf8(kDoneText));
        Finish(TChainEnd::Done);
    });
    connect(FirmwareStep, &TTaskStep::succeeded, this, [this] { firmwareWritten(kFirmwareEnd, QPBRestartTimer); });
    connect(QPBRestartTimer, &QTimer::timeout, this, &TUpdateChain::Timer11Timer);
    connect(ResourcesStep, &TTaskStep::succeeded, this, [this] {
        emit progressPosition(kQPBMaximum);
        emit status(utf8(kDoneText));
        Finish(TChainEnd::Done);
    });
}

void TUpdateChain::Stop() {
    TChain::Stop();
    ConvertTimer->stop();
    QPARestartTimer->stop();
    QPBRestartTimer->stop();
}

void TUpdateChain::SetRestartWaits(int qpaMs, int qpbMs) {
    QPARestartTimer->setInterval(qpaMs);
    QPBRestartTimer->setInterval(qpbMs);
}

QString TUpdateChain::FailureStatus(const QString& text) const {
    if (!cleared || BackupFolder.isEmpty())
        return text;
    return text + QLatin1Char(' ') + utf8(kBackupText).arg(BackupFolder);
}

void TUpdateChain::fail(const QString& text, TChainEnd end) {
    emit status(FailureStatus(text));
    Finish(end);
}

void TUpdateChain::send(TTaskStep* step,
                        const std::function<qint32(TCommTask&, const QString&, quint16, bool, const QString&,
                                                   const void*)>& add,
                        const void* data) {
    step->Start(target, [add, data](TCommTask& pool, const QString& host, quint16 port, bool keep,
                                    const QString& pass) { return add(pool, host, port, keep, pass, data); });
}

bool TUpdateChain::Start(const TLinkTarget& linkTarget, const TUpdateOptions& runOptions) {
    target = linkTarget;
    options = runOptions;
    BackupFolder.clear();
    cleared = false;
    firstImage.clear();
    secondImage.clear();
    if (options.Path == kPathQPA) {
        emit progressMaximum(kQPAMaximum);
        if (options.Convert) {
            SettReadStep->Start(target, &TCommTask::AddTaskConfQPASettRead, &NodarixQPAConfig);
            emit status(utf8(kSettReadText));
        } else {
            ConvertTimer->start();
        }
        return true;
    }
    if (options.Path != kPathQPB)
        return false;
    emit progressMaximum(kQPBMaximum);
    emit status(utf8(kUpdatingText));
    // Both images are built before the first is sent: a failure leaves the controller untouched
    // (the chain has then reported its end and nothing was queued).
    if (!buildImage(QStringLiteral("F405"), true, firstImage) || !buildImage(QStringLiteral("F405"), false, secondImage))
        return false;
    send(FirmwareStep, &TCommTask::AddTaskFlashSave, firstImage.constData());
    return true;
}

bool TUpdateChain::buildImage(const QString& variant, bool withFirmware, QByteArray& into) {
    if (options.Language.isEmpty()) {
        fail(utf8(kNoLanguageText), TChainEnd::NoImage);
        return false;
    }
    TResCfg resCfg;
    if (!options.ResCfgFile.isEmpty())
        LoadResCfg(options.ResCfgFile, resCfg);
    qint32 freeSpace = 0;
    into = BuildImageCopy(variant, options.Language, withFirmware, resCfg, freeSpace);
    if (into.isEmpty()) {
        fail(utf8(kImageFailedText), TChainEnd::NoImage);
        return false;
    }
    return true;
}

bool TUpdateChain::writeBackup() {
    TQPABackup backup;
    backup.Serial = QString::fromLatin1(NodarixVersion.Serial, static_cast<qsizetype>(
                                            qstrnlen(NodarixVersion.Serial, sizeof NodarixVersion.Serial)));
    backup.Version = VersionText(NodarixVersion);
    backup.PCB = QLatin1Char(NodarixVersion.PCB);
    backup.Config = reinterpret_cast<const TNodarixQPAConfig*>(readConfig.constData());
    backup.Texts = reinterpret_cast<const TNodarixQPAText*>(readTexts.constData());
    backup.Converted = Settings;
    QString error;
    BackupFolder = WriteQPABackup(options.BackupDirectory, backup, QDateTime::currentDateTime(), error);
    if (BackupFolder.isEmpty()) {
        fail(utf8(kBackupFailedText).arg(error), TChainEnd::Failure);
        return false;
    }
    emit status(utf8(kBackupText).arg(BackupFolder));
    return true;
}

bool TUpdateChain::readSettings(std::uint8_t autoPlace) {
    if (!TextToConfigQPA(Settings, autoPlace, false, ACircuitRemap, DCircuitRemap, NodarixQPAText, NodarixQPAConfig)) {
        fail(ConfigErrorText(), TChainEnd::Rejected);
        return false;
    }
    emit status(utf8(kConvertOkText));
    return true;
}

void TUpdateChain::Timer4Timer() {
    if (options.Convert) {
        readConfig = QByteArray(reinterpret_cast<const char*>(&NodarixQPAConfig), sizeof NodarixQPAConfig);
        readTexts = QByteArray(reinterpret_cast<const char*>(&NodarixQPAText), sizeof NodarixQPAText);
        Settings = ConfigQPAToText(VersionText(NodarixVersion), QLatin1Char(NodarixVersion.PCB), NodarixQPAConfig,
                                   true, NodarixQPAText);
        // A conversion that would drop part of the configuration is refused while the controller
        // is still untouched.
        const QStringList losses =
            ConfigQPATextLosses(VersionText(NodarixVersion), QLatin1Char(NodarixVersion.PCB), NodarixQPAConfig);
        if (!losses.isEmpty()) {
            fail(utf8(kLossesText).arg(losses.first()).arg(losses.size()), TChainEnd::Rejected);
            return;
        }
        if (!readSettings(1))
            return;
    }
    // Everything that could still stop the update is done before the controller is touched.
    if (!buildImage(QStringLiteral("F101"), true, firstImage))
        return;
    if (options.Convert && !writeBackup())
        return;
    emit status(utf8(kZeroText));
    std::memset(&NodarixQPAConfig, 0, sizeof NodarixQPAConfig);
    cleared = true;
    send(ZeroStep, &TCommTask::AddTaskConfQPASettSave, &NodarixQPAConfig);
}

void TUpdateChain::Timer5Done() {
    emit progressPosition(kZeroEnd);
    emit status(utf8(kZeroOkText));
    emit status(utf8(kUpdatingText));
    send(FlashStep, &TCommTask::AddTaskFlashSave, firstImage.constData());
}

void TUpdateChain::firmwareWritten(int end, QTimer* restartWait) {
    emit progressPosition(end);
    emit status(utf8(kUpdatingOkText));
    emit status(utf8(kRestartText));
    // The restart command is not polled: the controller drops the connection as it restarts.
    target.Pool().AddTaskUpdate(target.Host, target.Port, true, target.Pass);
    restartWait->start();
}

void TUpdateChain::Timer7Timer() {
    if (options.Convert) {
        if (!readSettings(0))
            return;
    } else {
        std::memset(&NodarixQPAConfig, 0, sizeof NodarixQPAConfig);
        std::memset(&NodarixQPAText, 0, sizeof NodarixQPAText);
    }
    emit status(utf8(kRestoreSettText));
    renewPool();
    send(RestoreSettStep, &TCommTask::AddTaskConfQPASettSave, &NodarixQPAConfig);
}

void TUpdateChain::Timer8Done() {
    emit progressPosition(kRestoreSettEnd);
    emit status(utf8(kRestoreSettOkText));
    emit status(utf8(kRestoreTextText));
    send(RestoreTextStep, &TCommTask::AddTaskConfQPATextSave, &NodarixQPAText);
}

void TUpdateChain::Timer11Timer() {
    emit status(utf8(kRestoreResourcesText));
    renewPool();
    send(ResourcesStep, &TCommTask::AddTaskFlashSave, secondImage.constData());
}
