#include "workflows/SettingsChains.h"

#include "config/ConfigText.h"
#include "workflows/Recognition.h"

#include <memory>

namespace {

// Every text the settings workflows show, in one place.
namespace text {
const char* const kSettingsRead = "Odczyt konfiguracji nodarix-a ...";
const char* const kSettingsReadDone = "Konfiguracja odczytana.";
const char* const kReadBackOk = "Konfiguracja OK.";
const char* const kLosses = "Uwaga: tekst nie oddaje całej konfiguracji (%1); zachowano konfigurację odczytaną "
                            "ze Nodarix-a.";
const char* const kSettingsWrite = "Zapis konfiguracji Nodarix-a.";
const char* const kSettingsWritten = "Konfiguracja zapisana.";
const char* const kWriteFailed = "Błąd zapisu Nodarix-a.";
const char* const kHttpOn = "Włączanie serwera HTTP w Nodarix-ie ...";
const char* const kHttpOnDone = "Serwer HTTP włączony.";
const char* const kHttpOff = "Wyłączanie serwera HTTP w Nodarix-ie ...";
const char* const kHttpOffDone = "Serwer HTTP wyłączony.";
} // namespace text

// What differs between the editions in the read and write chains.
struct EditionPlan {
    int settingsEnd;     // progress at the end of the settings image
    int maximum;         // progress at the end of the companion record, and the bar's maximum
    int settingsFactor;  // Progres x factor while the settings image moves
    int companionFactor; // 'settingsEnd + Progres x factor' while the companion record moves
    const char* companionRead;
    const char* companionReadDone;
    const char* companionWrite;
    const char* companionWritten;
};

const EditionPlan kPlans[] = {
    {8192, 40960, 81, 327, "Odczyt tekstów nodarix-a ...", "Teksty odczytane.", "Zapis tekstów Nodarix-a ...",
     "Teksty zapisane."},
    {65536, 82176, 655, 166, "Odczyt zmiennych nodarix-a ...", "Zmienne odczytane.",
     "Zapis zmiennych Nodarix-a ...", "Zmienne zapisane."},
};

const EditionPlan& plan(int edition) {
    return kPlans[edition == kEditionQPB ? 1 : 0];
}

QString tr8(const char* s) {
    return QString::fromUtf8(s);
}

// A held record of an edition, as a read task fills it and a save task sends it.
struct ImageRef {
    void* data;
    std::size_t size;
};

template <class Record> ImageRef ref(Record& record) {
    return {&record, sizeof record};
}

ImageRef settingsImage(TSettingsImages& images, int edition) {
    return edition == kEditionQPA ? ref(images.NodarixQPAConfig) : ref(images.NodarixQPBConfig);
}

ImageRef companionImage(TSettingsImages& images, int edition) {
    return edition == kEditionQPA ? ref(images.NodarixQPAText) : ref(images.NodarixQPBVars);
}

} // namespace

int SettingsProgressMaximum(int edition) {
    return plan(edition).maximum;
}

TSettingsReadChain::TSettingsReadChain(TNodarixVersion& NodarixVersion, TSettingsImages& images, QObject* parent)
    : TChain(parent), VersionStep(AddStep()), SettingsStep(AddStep()), CompanionStep(AddStep()),
      NodarixVersion(NodarixVersion), images(images) {
    connect(VersionStep, &TTaskStep::succeeded, this, &TSettingsReadChain::versionRead);
    connect(SettingsStep, &TTaskStep::succeeded, this, &TSettingsReadChain::settingsRead);
    connect(CompanionStep, &TTaskStep::succeeded, this, &TSettingsReadChain::companionRead);
}

void TSettingsReadChain::Start(const TLinkTarget& linkTarget, bool OnlyConfigured) {
    target = linkTarget;
    onlyConfigured = OnlyConfigured;
    edition = kEditionNone;
    readBack = {};
    losses.clear();
    VersionStep->Start(target, &TCommTask::AddTaskVersion, &NodarixVersion, sizeof NodarixVersion);
    emit status(tr8(kVersionReadText));
    emit progressPosition(0);
}

void TSettingsReadChain::versionRead() {
    emit status(tr8(kVersionOkText));
    emit status(VersionText(NodarixVersion));
    edition = EditionOf(NodarixVersion);
    if (edition == kEditionNone) {
        emit status(tr8(kUnrecognisedText));
        Finish(TChainEnd::Unrecognised);
        return;
    }
    const EditionPlan& p = plan(edition);
    emit progressMaximum(p.maximum);
    emit progressPosition(0);
    SettingsStep->SetProgress(0, p.settingsFactor);
    const ImageRef settings = settingsImage(images, edition);
    SettingsStep->Start(target,
                        edition == kEditionQPA ? &TCommTask::AddTaskConfQPASettRead : &TCommTask::AddTaskConfQPBSettRead,
                        settings.data, settings.size);
    emit status(tr8(text::kSettingsRead));
}

void TSettingsReadChain::settingsRead() {
    const EditionPlan& p = plan(edition);
    emit status(tr8(text::kSettingsReadDone));
    emit progressPosition(p.settingsEnd);
    CompanionStep->SetProgress(p.settingsEnd, p.companionFactor);
    const ImageRef companion = companionImage(images, edition);
    CompanionStep->Start(target,
                         edition == kEditionQPA ? &TCommTask::AddTaskConfQPATextRead : &TCommTask::AddTaskConfQPBVarsRead,
                         companion.data, companion.size);
    emit status(tr8(p.companionRead));
}

void TSettingsReadChain::companionRead() {
    const EditionPlan& p = plan(edition);
    emit status(tr8(p.companionReadDone));
    emit progressPosition(p.maximum);
    const QString version = VersionText(NodarixVersion);
    const QChar pcb = QChar::fromLatin1(NodarixVersion.PCB);
    images.Settings = ImagesToText(images, edition, version, pcb, onlyConfigured);
    emit textReady(images.Settings);
    losses = edition == kEditionQPA ? ConfigQPATextLosses(version, pcb, images.NodarixQPAConfig)
                                    : ConfigQPBTextLosses(version, pcb, images.NodarixQPBConfig);
    // The read-back rebuilds the images and label tables from the text: what a later write sends.
    // When the text cannot carry everything, the images stay as read and only the tables are rebuilt.
    std::unique_ptr<TSettingsImages> asRead;
    if (!losses.isEmpty())
        asRead = std::make_unique<TSettingsImages>(images);
    readBack = TextToImages(images, edition, images.Settings, false, text::kReadBackOk);
    if (asRead) {
        images.NodarixQPAConfig = asRead->NodarixQPAConfig;
        images.NodarixQPAText = asRead->NodarixQPAText;
        images.NodarixQPBConfig = asRead->NodarixQPBConfig;
        images.NodarixQPBVars = asRead->NodarixQPBVars;
    }
    if (readBack.Ok && !losses.isEmpty())
        emit status(tr8(text::kLosses).arg(losses.join(QStringLiteral("; "))));
    else
        emit status(readBack.Status);
    Finish(readBack.Ok ? TChainEnd::Done : TChainEnd::Rejected);
}

TSettingsWriteChain::TSettingsWriteChain(TSettingsImages& images, QObject* parent)
    : TChain(parent), SettingsStep(AddStep()), CompanionStep(AddStep()), images(images) {
    for (TTaskStep* step : Steps())
        step->SetFailureText(tr8(text::kWriteFailed));
    connect(SettingsStep, &TTaskStep::succeeded, this, &TSettingsWriteChain::settingsSaved);
    connect(CompanionStep, &TTaskStep::succeeded, this, &TSettingsWriteChain::companionSaved);
}

bool TSettingsWriteChain::Start(const TLinkTarget& linkTarget, int Edition) {
    if (Edition != kEditionQPA && Edition != kEditionQPB) {
        emit status(tr8(kNoEditionText));
        return false;
    }
    target = linkTarget;
    edition = Edition;
    const EditionPlan& p = plan(edition);
    const void* settings = settingsImage(images, edition).data;
    SettingsStep->SetProgress(0, p.settingsFactor);
    SettingsStep->Start(target, [this, settings](TCommTask& pool, const QString& host, quint16 port, bool keep,
                                                 const QString& pass) {
        return edition == kEditionQPA ? pool.AddTaskConfQPASettSave(host, port, keep, pass, settings)
                                      : pool.AddTaskConfQPBSettSave(host, port, keep, pass, settings);
    });
    emit status(tr8(text::kSettingsWrite));
    emit progressMaximum(p.maximum);
    emit progressPosition(0);
    return true;
}

void TSettingsWriteChain::settingsSaved() {
    const EditionPlan& p = plan(edition);
    emit progressPosition(p.settingsEnd);
    emit status(tr8(text::kSettingsWritten));
    emit status(tr8(p.companionWrite));
    const void* companion = companionImage(images, edition).data;
    CompanionStep->SetProgress(p.settingsEnd, p.companionFactor);
    CompanionStep->Start(target, [this, companion](TCommTask& pool, const QString& host, quint16 port, bool keep,
                                                   const QString& pass) {
        return edition == kEditionQPA ? pool.AddTaskConfQPATextSave(host, port, keep, pass, companion)
                                      : pool.AddTaskConfQPBVarsSave(host, port, keep, pass, companion);
    });
}

void TSettingsWriteChain::companionSaved() {
    const EditionPlan& p = plan(edition);
    emit progressPosition(p.maximum);
    emit status(tr8(p.companionWritten));
    Finish(TChainEnd::Done);
}

THttpSwitchChain::THttpSwitchChain(bool on, QObject* parent) : TChain(parent), SwitchStep(AddStep()), on(on) {
    connect(SwitchStep, &TTaskStep::succeeded, this, [this] {
        emit status(tr8(this->on ? text::kHttpOnDone : text::kHttpOffDone));
        Finish(TChainEnd::Done);
    });
}

void THttpSwitchChain::Start(const TLinkTarget& target) {
    SwitchStep->Start(target, on ? &TCommTask::AddTaskHttpOn : &TCommTask::AddTaskHttpOff);
    emit status(tr8(on ? text::kHttpOn : text::kHttpOff));
    emit progressPosition(0);
}
