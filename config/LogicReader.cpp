#include "config/LogicSection.h"

// Placeholder until the records land: every read fails.
bool ReadLogicSection(QString&, TNodarixQPAConfig&, quint8&, TDCircuitRemap&, TACircuitRemap&)
{
    return false;
}

bool ReadLogicSection(QString&, TNodarixQPBConfig&, quint8&, TDCircuitRemap&, TACircuitRemap&)
{
    return false;
}

bool ReadLogicSection(QStringView, qsizetype&, const LogicImage&, LogicEdition, quint8&, quint8*, quint8*)
{
    return false;
}

int InternText(QStringView, quint8*, int, int)
{
    return -9;
}

int InternNumber(qint32, quint8*, int)
{
    return -14;
}

int InternTime(qint32, quint8*)
{
    return -6;
}
