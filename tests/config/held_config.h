#pragma once
// One held configuration of an edition as a window keeps it (image, companion record, remap
// tables, placement flag), with the file-level reader and writer of its edition.
#include "config/ConfigText.h"
#include "config/Records.h"

#include <QString>
#include <memory>

namespace testcfg {

template <class Config, class Companion> struct Held {
    std::unique_ptr<Config> config = std::make_unique<Config>();
    std::unique_ptr<Companion> companion = std::make_unique<Companion>();
    TACircuitRemap analog{};
    TDCircuitRemap digital{};
    std::uint8_t autoPlace = 0;
    Held() { ClearConfiguration(*config, *companion, analog, digital); }
};
using HeldQPA = Held<TNodarixQPAConfig, TNodarixQPAText>;
using HeldQPB = Held<TNodarixQPBConfig, TNodarixQPBVars>;

inline bool read(HeldQPA& h, const QString& text, bool keepCurrent = false) {
    return TextToConfigQPA(text, h.autoPlace, keepCurrent, h.analog, h.digital, *h.companion, *h.config);
}
inline bool read(HeldQPB& h, const QString& text, bool keepCurrent = false) {
    return TextToConfigQPB(text, h.autoPlace, keepCurrent, h.analog, h.digital, *h.companion, *h.config);
}
inline QString write(const HeldQPA& h, bool onlyConfigured = false,
                     const QString& version = QStringLiteral("V4.1.0"), QChar pcb = QLatin1Char('C')) {
    return ConfigQPAToText(version, pcb, *h.config, onlyConfigured, *h.companion);
}
inline QString write(const HeldQPB& h, bool onlyConfigured = false,
                     const QString& version = QStringLiteral("V4.1.0"), QChar pcb = QLatin1Char('C')) {
    return ConfigQPBToText(version, pcb, *h.config, onlyConfigured, *h.companion);
}
inline ConfigTextLossReport losses(const HeldQPA& h, const QString& version, QChar pcb) {
    return ConfigQPATextLossReport(version, pcb, *h.config);
}
inline ConfigTextLossReport losses(const HeldQPB& h, const QString& version, QChar pcb) {
    return ConfigQPBTextLossReport(version, pcb, *h.config);
}

} // namespace testcfg
