#pragma once

// The catalogue of macro kinds: one row per kind, with its template, its kind code in each
// of the three numberings, its placement class and its parameter list. Everything else a
// writer or reader needs (instances, strides, pin groups, lookups) is derived from the rows
// once, on first use, and never changes afterwards.

#include <QLatin1String>
#include <QStringView>
#include <QtGlobal>

#include <array>
#include <span>
#include <vector>

// Bytes of one macro cell and where its blocks start.
inline constexpr int kMacroCellSize = 64;
inline constexpr int kCellInputOptions = 0;
inline constexpr int kCellInputCircuits = 8;
inline constexpr int kCellInputTimes = 16;
inline constexpr int kCellOutputOptions = 24;
inline constexpr int kCellOutputCircuits = 32;
inline constexpr int kCellOutputTimes = 40;
inline constexpr int kCellParams = 48;
inline constexpr int kCellSlots = 8;       // slots per block
inline constexpr int kCellParamBytes = 16; // two banks of eight

// The numbering in which an image's kind codes are read.
enum class Numbering : quint8 { OldQPA = 0, NewQPA = 1, QPB = 2 };

// Pin groups in the order in which a line lists them and a cell stores them
// (analog before digital, inputs in the input blocks, outputs in the output blocks).
enum class PinGroup : quint8 { AnalogIn = 0, DigitalIn = 1, AnalogOut = 2, DigitalOut = 3 };
inline constexpr int kPinGroupCount = 4;

enum class Placement : quint8 { Exclusive, Pooled };

enum class ParamType : quint8 { Txt, Var, Bits, Byte };

struct MacroParam {
    ParamType type;
    quint8 bank;   // 0 or 1
    quint8 index;  // 0 to 7
    quint8 format; // format digit of a VAR parameter (0 to 3), 0 otherwise
};

struct MacroKind {
    // From the table.
    QLatin1String templ;              // e.g. "\tPORTN*8-?(I)[O]"
    std::array<quint8, 3> codes{};    // kind code per Numbering, 0 = none
    Placement placement = Placement::Exclusive;

    // Derived once.
    int row = 0;                      // position in catalogue order
    QLatin1String name;               // "PORTN"
    QLatin1String matchPrefix;        // "\tPORTN*8-": the template up to the "?"
    QLatin1String strippedHead;       // "PORTN*8-": what a line writes before the instance digit
    int instances = 1;
    int pinStride = 1;
    int paramStride = 1;
    std::array<std::vector<QLatin1String>, kPinGroupCount> pins; // names per PinGroup
    std::vector<MacroParam> params;   // in writing order
    bool hasGroup[kPinGroupCount] = {};
    bool qpbOnly = false;             // never matches in a QPA read
    bool oldKind = false;             // OLD_PORT0..7, OLD_AINP0, OLD_AINP1

    int pinCount(PinGroup g) const { return int(pins[int(g)].size()); }
    int code(Numbering n) const { return codes[int(n)]; }
};

// All rows in catalogue order (the order in which a reader tries them).
std::span<const MacroKind> macroCatalogue();

// The row for a kind code in a numbering, or nullptr (code 0 included).
const MacroKind* kindForCode(Numbering numbering, int code);

// The row whose kind name is exactly `name`, or nullptr.
const MacroKind* kindByName(QStringView name);

// Exact catalogue rows that the reader needs for the conversion of old kinds.
const MacroKind& kindNamed(QLatin1String name);
