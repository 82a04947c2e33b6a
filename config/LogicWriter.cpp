#include "config/LogicSection.h"

// Placeholder until the records land: the section stays empty.
QString WriteLogicSection(const TNodarixQPAConfig&, const QString&, QChar, bool)
{
    return {};
}

QString WriteLogicSection(const TNodarixQPBConfig&, const QString&, QChar, bool)
{
    return {};
}

QString WriteLogicSection(const ConstLogicImage&, LogicEdition, const QString&, QChar, bool)
{
    return {};
}

QString WriteMacroCell(const ConstLogicImage&, int, Numbering, bool)
{
    return {};
}
