#include "workflows/SettingsImages.h"

#include "config/ConfigError.h"
#include "config/ConfigText.h"
#include "workflows/Recognition.h"

const char* const kNoEditionText = "Błąd: nie rozpoznano typu Nodarix-a.";

void TSettingsImages::Clear() {
    ClearRecord(NodarixQPAConfig);
    ClearRecord(NodarixQPAText);
    ClearRecord(DCircuitRemap);
    ClearRecord(ACircuitRemap);
    ClearRecord(NodarixQPBConfig);
    ClearRecord(NodarixQPBVars);
}

QString ImagesToText(const TSettingsImages& images, int edition, const QString& version, QChar pcb,
                     bool OnlyConfigured) {
    if (edition == kEditionQPA)
        return ConfigQPAToText(version, pcb, images.NodarixQPAConfig, OnlyConfigured, images.NodarixQPAText);
    if (edition == kEditionQPB)
        return ConfigQPBToText(version, pcb, images.NodarixQPBConfig, OnlyConfigured, images.NodarixQPBVars);
    return {};
}

TTextRead TextToImages(TSettingsImages& images, int edition, const QString& text, bool append,
                       const char* okText) {
    if (edition != kEditionQPA && edition != kEditionQPB)
        return {false, QString::fromUtf8(kNoEditionText), 0};
    std::uint8_t AutoPlace = append ? 1 : 0;
    QString rest = text;
    const bool ok = edition == kEditionQPA
                        ? ReadConfigTextQPA(rest, AutoPlace, append, images.ACircuitRemap, images.DCircuitRemap,
                                            images.NodarixQPAText, images.NodarixQPAConfig)
                        : ReadConfigTextQPB(rest, AutoPlace, append, images.ACircuitRemap, images.DCircuitRemap,
                                            images.NodarixQPBVars, images.NodarixQPBConfig);
    if (ok)
        return {true, QString::fromUtf8(okText), 0};
    return {false, ConfigErrorText(), FailedLineNumber(text, rest.size())};
}
