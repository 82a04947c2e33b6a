#pragma once
// The configuration a settings workflow holds: both editions' images, the circuit label tables the
// text readers fill, and the configuration text last produced or loaded. Large: keep it on the heap.
#include "config/Records.h"

#include <QString>

struct TSettingsImages {
    TNodarixQPAConfig NodarixQPAConfig;
    TNodarixQPAText NodarixQPAText;
    TNodarixQPBConfig NodarixQPBConfig;
    TNodarixQPBVars NodarixQPBVars;
    TDCircuitRemap DCircuitRemap;
    TACircuitRemap ACircuitRemap;
    QString Settings;

    TSettingsImages() { Clear(); }
    // The cleared state of both editions (Settings is left as it was).
    void Clear();
};

// The result of reading a configuration text into the images.
struct TTextRead {
    bool Ok = false;
    QString Status;     // the status text to show
    int FailedLine = 0; // 1-based line where a reader stopped; 0 when none
};

// The configuration text of the held images of an edition (kEditionQPA or kEditionQPB).
QString ImagesToText(const TSettingsImages& images, int edition, const QString& version, QChar pcb,
                     bool OnlyConfigured);

// Reads a text into the held images of an edition. Append adds to what is held (AutoPlace and
// KeepCurrent on) instead of starting from the cleared state. The status is "Konfiguracja Ok."
// (okText) on success, the reader's message on failure, and "Błąd: nie rozpoznano typu
// Nodarix-a." with no edition, in which case nothing is read.
TTextRead TextToImages(TSettingsImages& images, int edition, const QString& text, bool append,
                       const char* okText = "Konfiguracja Ok.");

extern const char* const kNoEditionText; // "Błąd: nie rozpoznano typu Nodarix-a."
