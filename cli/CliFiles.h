#pragma once
// File input and output shared by the commands; each prints a clear error on failure.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace cli {

// Reads a whole file that must have exactly `size` bytes.
bool readExactFile(const QString& path, qsizetype size, QByteArray& out);
// Writes a file atomically: it appears whole or not at all.
bool writeFile(const QString& path, QByteArrayView data);
// Reads a configuration text as the windows do (a byte-order mark honoured, else UTF-8, or
// Windows-1250 when it is not valid UTF-8; LF line ends become CR LF). On failure prints why, sets
// `exitCode` (1 unreadable, 2 bytes that break the encoding their mark names) and returns nothing.
std::optional<QString> readConfigTextFile(const QString& path, int& exitCode);

} // namespace cli
