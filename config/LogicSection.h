#pragma once

// The "#logic" section of the configuration text: the writer that turns the macro cells of an
// image into lines, the reader that turns lines back into cells, and the interning of text,
// number and time constants that the reader and the circuit sections share.

#include "config/MacroCatalogue.h"

#include <QChar>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <array>
#include <type_traits>
#include <vector>

struct TNodarixQPAConfig;
struct TNodarixQPBConfig;
struct TDCircuitRemap;
struct TACircuitRemap;

enum class LogicEdition : quint8 { QPA = 0, QPB = 1 };

// The macro area of one image, as byte views. Numbers in paramCell and setNumer are
// little-endian s32. The record overloads below build it from the records themselves.
template <typename Byte> struct LogicImageOf {
    Byte* setMacro = nullptr; // cellCount cells of 64 bytes
    Byte* cellType = nullptr; // cellCount kind codes
    int cellCount = 0;
    Byte* paramCell = nullptr; // 16 time entries
    Byte* setText = nullptr;   // textCount entries of textWidth bytes
    int textCount = 0;
    int textWidth = 0;
    Byte* setNumer = nullptr; // numerCount number entries
    int numerCount = 0;

    operator LogicImageOf<const quint8>() const requires(!std::is_const_v<Byte>) {
        return {setMacro,  cellType,  cellCount, paramCell, setText,
                textCount, textWidth, setNumer,  numerCount};
    }
};
using LogicImage = LogicImageOf<quint8>;
using ConstLogicImage = LogicImageOf<const quint8>;

LogicImage logicImage(TNodarixQPAConfig& image);
LogicImage logicImage(TNodarixQPBConfig& image);
ConstLogicImage logicImage(const TNodarixQPAConfig& image);
ConstLogicImage logicImage(const TNodarixQPBConfig& image);

// Writer. Returns the section body (every line ended by CR LF), without the "#logic" header.
// The numbering follows from the edition, the firmware version text and the PCB letter; when
// none applies the body is empty.
QString WriteLogicSection(const TNodarixQPAConfig& image, const QString& version, QChar pcb,
                          bool OnlyConfigured);
QString WriteLogicSection(const TNodarixQPBConfig& image, const QString& version, QChar pcb,
                          bool OnlyConfigured);
QString WriteLogicSection(const ConstLogicImage& image, LogicEdition edition, const QString& version,
                          QChar pcb, bool OnlyConfigured);
// What the writer puts into the section for an image: whether a numbering applies, the cells
// holding a macro that get no line (all of them when no numbering applies) and the digital
// circuits (1 to 253) that the written lines wire.
struct LogicTextCoverage {
    bool hasNumbering = false;
    Numbering numbering = Numbering::NewQPA;
    int usedCells = 0;
    std::vector<int> unwrittenCells;
    std::array<bool, 256> digitalCircuits{};
};
LogicTextCoverage LogicSectionCoverage(const ConstLogicImage& image, LogicEdition edition,
                                       const QString& version, QChar pcb);
// The lines of one cell (cell 0 to cellCount - 1) read in the given numbering.
QString WriteMacroCell(const ConstLogicImage& image, int cell, Numbering numbering, bool OnlyConfigured);

// Reader. `text` is the remaining text after the "#logic" header line. On success the consumed
// lines are removed and the text starts at the next header line ("#...") or is empty. On failure
// it returns false with LastConfigError and LastConfigLine set; the failing line has been
// removed and everything stored before it stays. AutoPlace is only ever set, never cleared.
bool ReadLogicSection(QString& text, TNodarixQPAConfig& image, quint8& AutoPlace, TDCircuitRemap& digital,
                      TACircuitRemap& analog);
bool ReadLogicSection(QString& text, TNodarixQPBConfig& image, quint8& AutoPlace, TDCircuitRemap& digital,
                      TACircuitRemap& analog);
// The same over a position in a text that is not modified: `pos` is advanced past the lines
// consumed. `digital` and `analog` are the 506-byte remap tables.
bool ReadLogicSection(QStringView text, qsizetype& pos, const LogicImage& image, LogicEdition edition,
                      quint8& AutoPlace, quint8* digital, quint8* analog);

// Interning of constants. Each returns the reference on success (0 for an empty text or a zero
// value, else the 1-based entry number, or for InternTime the Param_Cell index 1 to 15), or the
// negative error code when the table is full (-9, -14, -6); nothing is stored then.
// InternText takes the value as written in a file (escaped as by EncodeField) and finds an
// entry holding the same bytes before it claims the first empty entry.
int InternText(QStringView value, quint8* table, int entrySize, int entryCount);
int InternNumber(qint32 value, quint8* table, int entryCount);
int InternTime(qint32 value, quint8* paramCell);
