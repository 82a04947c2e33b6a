#include "tests/support/SimState.h"

#include <QFile>
#include <QtEndian>

std::map<int, QByteArray> StoredExtRecords(const QString& stateFile) {
    // "NDXSIMST", a 32-bit version, then sections: 4-byte tag, 32-bit big-endian length, data.
    std::map<int, QByteArray> records;
    QFile file(stateFile);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    const QByteArray b = file.readAll();
    if (!b.startsWith("NDXSIMST"))
        return records;
    for (qsizetype at = 12; at + 8 <= b.size();) {
        const QByteArray tag = b.mid(at, 4);
        const quint32 length = qFromBigEndian<quint32>(b.constData() + at + 4);
        at += 8;
        if (length > quint32(b.size() - at))
            break;
        if (tag.size() == 4 && tag.startsWith("EXT") && tag[3] >= '0' && tag[3] <= '3')
            records[tag[3] - '0'] = b.mid(at, length);
        at += length;
    }
    return records;
}
