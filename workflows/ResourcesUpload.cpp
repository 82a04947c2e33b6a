#include "workflows/ResourcesUpload.h"

#include "flash/FlashImage.h"
#include "workflows/Recognition.h"

const char* const kTextsReadText = "Odczyt tekstów nodarix-a ...";
const char* const kTextsReadOkText = "Teksty odczytane.";
const char* const kNoLanguageText = "Błąd: nie określono języka programu.";
const char* const kImageFailedText = "Błąd: nie można pobrać zasobów programu.";

namespace {

const char* const kResourcesOkText = "Zasoby OK.";
const char* const kLoadingText = "Ładowanie zasobów nodarix-a ...";
const char* const kLoadedText = "Zasoby załadowane OK.";

constexpr int kTextsBytes = 32768;
constexpr int kTextsFactor = 327;
constexpr int kFlashFactor = 5242;

} // namespace

QByteArray BuildImageCopy(const QString& variant, const QString& language, bool withFirmware,
                          const TResCfg& resCfg, qint32& freeSpace, const TNodarixQPAText* texts) {
    if (!BuildFlashImage(variant, language, withFirmware, resCfg, freeSpace, texts))
        return {};
    return QByteArray(reinterpret_cast<const char*>(FlashImage()), kFlashImageBytes);
}

TResourcesUploadChain::TResourcesUploadChain(TNodarixQPAText& NodarixQPAText, QObject* parent)
    : TChain(parent), TextsStep(AddStep()), QPAFlashStep(AddStep()), QPBFlashStep(AddStep()),
      NodarixQPAText(NodarixQPAText) {
    TextsStep->SetProgress(0, kTextsFactor);
    QPAFlashStep->SetProgress(kTextsBytes, kFlashFactor);
    QPBFlashStep->SetProgress(0, kFlashFactor);
    connect(TextsStep, &TTaskStep::succeeded, this, &TResourcesUploadChain::textsRead);
    connect(QPAFlashStep, &TTaskStep::succeeded, this, [this] { uploaded(kQPAMaximum); });
    connect(QPBFlashStep, &TTaskStep::succeeded, this, [this] { uploaded(kQPBMaximum); });
}

bool TResourcesUploadChain::Start(const TLinkTarget& linkTarget, int edition, const QString& languageText,
                                  const TResCfg& files, const QString& listFile) {
    target = linkTarget;
    language = languageText;
    resCfg = files;
    resCfgFile = listFile;
    if (edition == kEditionQPA) {
        TextsStep->Start(target, &TCommTask::AddTaskConfQPATextRead, &NodarixQPAText);
        emit status(QString::fromUtf8(kTextsReadText));
        emit progressMaximum(kQPAMaximum);
        emit progressPosition(0);
        return true;
    }
    if (edition != kEditionQPB)
        return false;
    if (!buildAndSend(QStringLiteral("F405"), nullptr, QPBFlashStep))
        return false;
    emit progressMaximum(kQPBMaximum);
    emit progressPosition(0);
    return true;
}

void TResourcesUploadChain::textsRead() {
    emit status(QString::fromUtf8(kTextsReadOkText));
    emit progressPosition(kTextsBytes);
    buildAndSend(QStringLiteral("F101"), &NodarixQPAText, QPAFlashStep);
}

bool TResourcesUploadChain::buildAndSend(const QString& variant, const TNodarixQPAText* texts, TTaskStep* step) {
    if (language.isEmpty()) {
        emit status(QString::fromUtf8(kNoLanguageText));
        Finish(TChainEnd::NoImage);
        return false;
    }
    image = BuildImageCopy(variant, language, false, resCfg, FreeFlash, texts);
    if (image.isEmpty()) {
        emit status(QString::fromUtf8(kImageFailedText));
        Finish(TChainEnd::NoImage);
        return false;
    }
    emit status(QString::fromUtf8(kResourcesOkText));
    if (!resCfgFile.isEmpty())
        SaveResCfg(resCfgFile, resCfg);
    emit status(QString::fromUtf8(kLoadingText));
    const QByteArray& data = image;
    step->Start(target, [&data](TCommTask& pool, const QString& host, quint16 port, bool keep, const QString& pass) {
        return pool.AddTaskFlashSave(host, port, keep, pass, data.constData());
    });
    return true;
}

void TResourcesUploadChain::uploaded(int end) {
    emit progressPosition(end);
    emit status(QString::fromUtf8(kLoadedText));
    Finish(TChainEnd::Done);
}
