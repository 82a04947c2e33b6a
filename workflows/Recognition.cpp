#include "workflows/Recognition.h"

#include "config/TextCodec.h"

const char* const kUnrecognisedText = "Błąd: nierozpoznana wersja nodarix-a.";
const char* const kVersionReadText = "Odczyt numeru wersji Nodarix-a ...";
const char* const kVersionOkText = "Wersja OK.";

namespace {

QString realizationText(const TNodarixVersion& version) {
    return EncodeField(version.Realization, static_cast<int>(sizeof version.Realization));
}

} // namespace

TEdition EditionOf(const TNodarixVersion& version) {
    const QByteArray realization(version.Realization, sizeof version.Realization);
    if (realization.startsWith("QPA"))
        return kEditionQPA;
    if (realization.startsWith("QPB"))
        return kEditionQPB;
    return kEditionNone;
}

QString FlashVariant(int edition) {
    switch (edition) {
    case kEditionQPA:
        return QStringLiteral("F101");
    case kEditionQPB:
        return QStringLiteral("F405");
    default:
        return {};
    }
}

QStringList EditionNames() {
    return {QStringLiteral("QPA"), QStringLiteral("QPB")};
}

QStringList LanguageNames() {
    return {QStringLiteral("PL"), QStringLiteral("EN"), QStringLiteral("IT")};
}

int LanguageIndex(const TNodarixVersion& version) {
    return static_cast<int>(LanguageNames().indexOf(QString::fromLatin1(version.Langue, sizeof version.Langue)));
}

QString VersionText(const TNodarixVersion& version) {
    return EncodeField(version.Version, static_cast<int>(sizeof version.Version));
}

TRecognitionChain::TRecognitionChain(TNodarixVersion& NodarixVersion, QObject* parent)
    : TChain(parent), VersionStep(AddStep()), NodarixVersion(NodarixVersion) {
    connect(VersionStep, &TTaskStep::succeeded, this, &TRecognitionChain::versionRead);
}

void TRecognitionChain::Start(const TLinkTarget& target) {
    VersionStep->Start(target, &TCommTask::AddTaskVersion, &NodarixVersion, sizeof NodarixVersion);
    emit status(QString::fromUtf8(kVersionReadText));
    emit progressPosition(0);
}

void TRecognitionChain::versionRead() {
    emit status(QString::fromUtf8(kVersionOkText));
    emit status(VersionText(NodarixVersion) + QLatin1Char(' ') + realizationText(NodarixVersion));
    const TEdition edition = EditionOf(NodarixVersion);
    if (edition == kEditionNone)
        emit status(QString::fromUtf8(kUnrecognisedText));
    emit recognised(edition);
    Finish(edition == kEditionNone ? TChainEnd::Unrecognised : TChainEnd::Done);
}
