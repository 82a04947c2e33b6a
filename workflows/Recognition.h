#pragma once
// Recognition of a controller: its version record names the edition (QPA or QPB), the edition the
// flash variant, and its language the web pages' language.
#include "comm/Frame.h"
#include "workflows/Chain.h"

#include <QStringList>

// Edition index: 0 QPA, 1 QPB, -1 neither. Only the start of Realization counts, case-sensitively.
enum TEdition : int { kEditionNone = -1, kEditionQPA = 0, kEditionQPB = 1 };
TEdition EditionOf(const TNodarixVersion& version);
// "F101" for QPA, "F405" for QPB, "" for none.
QString FlashVariant(int edition);
// The entries of the edition box, in index order.
QStringList EditionNames();

// The entries of the language box, in order, and the one the controller's Langue names (-1: none).
QStringList LanguageNames();
int LanguageIndex(const TNodarixVersion& version);

// The controller's version text (EncodeField of the 6-byte Version field).
QString VersionText(const TNodarixVersion& version);

extern const char* const kUnrecognisedText; // "Błąd: nierozpoznana wersja nodarix-a."

// Version task, then the edition; fills the given record. Emits recognised before finished.
class TRecognitionChain : public TChain {
    Q_OBJECT
public:
    explicit TRecognitionChain(TNodarixVersion& NodarixVersion, QObject* parent = nullptr);

    void Start(const TLinkTarget& target);
    TTaskStep* const VersionStep;

signals:
    // The edition decided from the answer (kEditionNone included), before the chain's end.
    void recognised(int edition);

private:
    void versionRead();
    TNodarixVersion& NodarixVersion;
};

// The status texts of a version task, in order, as every chain starting with one shows them.
extern const char* const kVersionReadText; // "Odczyt numeru wersji Nodarix-a ..."
extern const char* const kVersionOkText;   // "Wersja OK."
