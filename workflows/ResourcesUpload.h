#pragma once
// Loading the installer's pages and pictures into a controller: a resources flash image for the
// controller's edition, sent whole. A QPA controller keeps its texts in the flash area the image
// rewrites, so they are read first and built into the image.
#include "config/Records.h"
#include "flash/ResCfg.h"
#include "workflows/Chain.h"

#include <QByteArray>

// Status texts shared by the chains that build flash images.
extern const char* const kTextsReadText;    // "Odczyt tekstów nodarix-a ..."
extern const char* const kTextsReadOkText;  // "Teksty odczytane."
extern const char* const kNoLanguageText;   // "Błąd: nie określono języka programu."
extern const char* const kImageFailedText;  // "Błąd: nie można pobrać zasobów programu."

// Builds a flash image into the shared buffer and returns a copy of it, or an empty array when the
// build failed. The copy is what a chain sends, so that no later build can change it.
QByteArray BuildImageCopy(const QString& variant, const QString& language, bool withFirmware,
                          const TResCfg& resCfg, qint32& freeSpace, const TNodarixQPAText* texts = nullptr);

class TResourcesUploadChain : public TChain {
    Q_OBJECT
public:
    static constexpr int kQPAMaximum = 557056;
    static constexpr int kQPBMaximum = 524288;

    explicit TResourcesUploadChain(TNodarixQPAText& NodarixQPAText, QObject* parent = nullptr);

    // Starts the upload for edition kEditionQPA or kEditionQPB with the language ("" when none is
    // chosen) and the user's files; `resCfgFile`, when not empty, is the list file written once the
    // image is built. False when nothing was queued: no edition, or (QPB) no language or no image,
    // which the chain has then reported and ended.
    bool Start(const TLinkTarget& target, int edition, const QString& language, const TResCfg& resCfg,
               const QString& resCfgFile);

    TTaskStep* const TextsStep;    // QPA: reads the texts (the window's Timer1)
    TTaskStep* const QPAFlashStep; // QPA: sends the image (Timer2)
    TTaskStep* const QPBFlashStep; // QPB: sends the image (Timer3)

    // Free space the builder reported for the image last built.
    qint32 FreeFlash = 0;

private:
    void textsRead();
    // Builds the image; on success writes the list file and queues the image on `step`.
    bool buildAndSend(const QString& variant, const TNodarixQPAText* texts, TTaskStep* step);
    void uploaded(int end);

    TNodarixQPAText& NodarixQPAText;
    TLinkTarget target;
    QString language;
    TResCfg resCfg;
    QString resCfgFile;
    QByteArray image;
};
