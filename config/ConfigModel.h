#pragma once
// A configuration as an installer sees it: settings, logic instances with their wired pins and
// parameters, circuits with names, aliases and logic, text and numeric variables. It is built by
// reading a configuration text into the edition's records and reading the records' own text form
// back, so it shows exactly what a controller would hold, in the reader's canonical numbering.
#include "config/LogicSection.h"

#include <QList>
#include <QString>
#include <map>
#include <optional>
#include <vector>

// One entry of a keyed section (#settings, #text, #numer): the key and the value as written.
struct ConfigEntry {
    QString key;
    QString value;
};

// The circuit a pin is wired to.
struct PinCircuit {
    enum Kind : quint8 { None, Digital, Analog, Constant0, Constant1 };
    Kind kind = None;
    int number = 0; // circuit number in the records (Digital, Analog)
};

struct LogicPin {
    PinGroup group = PinGroup::DigitalIn;
    int index = 0;      // position in its group
    QString name;       // the template's pin name ("I", "O", "NULL", ...)
    PinCircuit circuit; // None when unconnected
    QString options;    // options text of a digital pin ("~", "#^2.5;0", ...), empty when none
};

struct LogicParam {
    QString key;   // type, bank and index: "TXT10", "VAR00", "BITS00", "BYTE13"
    QString value; // "`Lamp`" for a constant, "variable 05" for a variable reference, as displayed
};

// One configured instance of a macro kind.
struct LogicInstance {
    QString head; // "PORTN*8-3": kind, instance count and instance number
    QString kind; // "PORTN"
    int cell = 0;
    int occurrence = 0; // 0 for the first cell holding this head, 1 for the next one, ...
    std::vector<LogicPin> pins;
    std::vector<LogicParam> params;

    // Unique within a configuration; the same instance keeps it when its cell number changes.
    QString key() const { return occurrence ? head + QStringLiteral(" #%1").arg(occurrence + 1) : head; }
};

struct CircuitInfo {
    int number = 0;
    QString name;  // as decoded for display; empty for an unnamed circuit
    QString alias; // as decoded for display
    QString logic; // "AND", "OR", "XOR" or empty (digital only)
    QString xcode; // "X2" to "X64" or empty (digital only)
};

struct ConfigModel {
    LogicEdition edition = LogicEdition::QPA;
    std::vector<ConfigEntry> settings;
    std::vector<LogicInstance> logic;
    std::map<int, CircuitInfo> digital; // by circuit number
    std::map<int, CircuitInfo> analog;
    std::vector<ConfigEntry> texts;  // "text_05" -> display text (non-empty only)
    std::vector<ConfigEntry> numers; // "numer_03" -> number (non-zero only)
};

// The edition a text names in its "#version=" line, or nothing when it names none.
std::optional<LogicEdition> EditionFromText(const QString& text);

// Reads a CR LF configuration text with the edition's reader. On failure returns false and gives
// the reader's message (ConfigErrorText) and the 1-based number of the line it failed on.
bool ReadConfigModel(const QString& text, LogicEdition edition, ConfigModel& model, QString& error,
                     int& errorLine);

// A controller text field (escaped as in the configuration text) as readable characters: the
// controller's bytes in the Central European code page, control characters left escaped.
QString DisplayText(QStringView escaped);
