#pragma once
// The configuration text file: a controller's whole configuration as CR LF text and back.
#include "config/Records.h"

#include <QChar>
#include <QString>
#include <QStringList>
#include <cstdint>

// Writers: the whole text, every line ended by CR LF. `version` is the controller's version text
// (as rendered by EncodeField), `pcb` its board letter. OnlyConfigured leaves out unnamed circuits,
// empty texts, and (in the logic section) empty cells and unused instances.
QString ConfigQPAToText(const QString& version, QChar pcb, const TNodarixQPAConfig& config,
                        bool OnlyConfigured, const TNodarixQPAText& texts);
QString ConfigQPBToText(const QString& version, QChar pcb, const TNodarixQPBConfig& config,
                        bool OnlyConfigured, const TNodarixQPBVars& vars);

// What the text written from these images for this version and board letter cannot carry:
// one line per loss (Polish, for the installer), empty when the text carries everything.
QStringList ConfigQPATextLosses(const QString& version, QChar pcb, const TNodarixQPAConfig& config);
QStringList ConfigQPBTextLosses(const QString& version, QChar pcb, const TNodarixQPBConfig& config);

// The same losses by kind: `logic` for macro cells the text leaves out (a read-back would hold
// less logic than the controller has), `circuits` for values of wired circuits that have no text
// form (the read-back gives them the cleared value).
struct ConfigTextLossReport {
    QStringList logic;
    QStringList circuits;
    QStringList all() const;
};
ConfigTextLossReport ConfigQPATextLossReport(const QString& version, QChar pcb,
                                             const TNodarixQPAConfig& config);
ConfigTextLossReport ConfigQPBTextLossReport(const QString& version, QChar pcb,
                                             const TNodarixQPBConfig& config);

// Readers: fill the image, its companion record and the remap tables. KeepCurrent false starts from
// the cleared state; true adds the text to what is held and passes over the settings. AutoPlace is
// handed to the logic reader, which may set it. On failure LastConfigError and LastConfigLine say
// why, and the records keep what was stored before the failing line.
bool TextToConfigQPA(const QString& text, std::uint8_t& AutoPlace, bool KeepCurrent, TACircuitRemap& analog,
                     TDCircuitRemap& digital, TNodarixQPAText& texts, TNodarixQPAConfig& config);
bool TextToConfigQPB(const QString& text, std::uint8_t& AutoPlace, bool KeepCurrent, TACircuitRemap& analog,
                     TDCircuitRemap& digital, TNodarixQPBVars& vars, TNodarixQPBConfig& config);

// The same reads on a text the caller owns: afterwards `text` holds what was not read, so that
// FailedLineNumber can tell where a read stopped.
bool ReadConfigTextQPA(QString& text, std::uint8_t& AutoPlace, bool KeepCurrent, TACircuitRemap& analog,
                       TDCircuitRemap& digital, TNodarixQPAText& texts, TNodarixQPAConfig& config);
bool ReadConfigTextQPB(QString& text, std::uint8_t& AutoPlace, bool KeepCurrent, TACircuitRemap& analog,
                       TDCircuitRemap& digital, TNodarixQPBVars& vars, TNodarixQPBConfig& config);

// The 1-based number of the last line a failed read took, given the text it started with and the
// size of what it left unread.
int FailedLineNumber(const QString& original, qsizetype remainingSize);

// Section readers. Each starts on the line after its header, stops at the next header line
// (left in the text) or at the end of the text, and on failure sets LastConfigError.
bool ReadSettingsSection(QString& text, TNodarixQPAConfig& config);
bool ReadSettingsSection(QString& text, TNodarixQPBConfig& config);
bool ReadDCircuitSection(QString& text, TNodarixQPAConfig& config, const TDCircuitRemap& digital);
bool ReadDCircuitSection(QString& text, TNodarixQPBConfig& config, const TDCircuitRemap& digital);
bool ReadACircuitSection(QString& text, TNodarixQPAConfig& config, const TACircuitRemap& analog);
bool ReadACircuitSection(QString& text, TNodarixQPBConfig& config, const TACircuitRemap& analog);
bool ReadTextSection(QString& text, TNodarixQPAText& texts);
bool ReadTextSection(QString& text, TNodarixQPBVars& vars);
bool ReadNumerSection(QString& text, TNodarixQPBVars& vars);
