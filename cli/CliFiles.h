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
// Reads a configuration text: a byte-order mark chooses the encoding, otherwise UTF-8, which must
// be valid; LF line ends become CR LF (a lone CR stays, as a character of a field). On failure
// sets `exitCode` (1 unreadable, 2 not valid text) and returns nothing.
std::optional<QString> readConfigTextFile(const QString& path, int& exitCode);

} // namespace cli
