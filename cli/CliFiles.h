#pragma once
// File input and output shared by the commands; each prints a clear error on failure.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace cli {

// Reads a whole file that must have exactly `size` bytes.
bool readExactFile(const QString& path, qsizetype size, QByteArray& out);
// Writes a file atomically: it appears whole or not at all.
bool writeFile(const QString& path, QByteArrayView data);

} // namespace cli
