#pragma once
#include <QByteArray>
#include <QString>

namespace sim {

// A readable account of a 166-byte extension module record as the module would receive it: the
// decoded fields, then a hex dump. Lines end with '\n'.
QString describeExtRecord(int module, const QByteArray& record);

} // namespace sim
