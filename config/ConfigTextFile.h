#pragma once
// Configuration text files on disk, one reading and one writing rule for the windows and the
// command-line tool: saved as UTF-8 without a byte-order mark, every line ended by CR LF; loaded
// with a byte-order mark honoured, a file that is not valid UTF-8 read as Windows-1250 (the code
// page of older installers' files), and LF or mixed line ends made CR LF.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The lines of a CR LF text (a text ending with CR LF has no empty last line).
QStringList ConfigTextLines(const QString& text);

// The bytes of a file holding these lines, each ended by CR LF.
QByteArray ConfigTextFileBytes(const QStringList& lines);

// The text of a file's bytes, every line ended by CR LF (a lone CR stays, as a character of a field).
// Nothing when a byte-order mark names an encoding the bytes do not follow.
std::optional<QString> DecodeConfigTextFile(const QByteArray& bytes);

// A file read: its text, or why there is none.
struct TConfigTextLoad {
    std::optional<QString> Text;
    bool CannotOpen = false; // else the bytes are not valid in the encoding their mark names
    QString Error;           // names the file and the reason
};
TConfigTextLoad LoadConfigTextFile(const QString& path);

// Writes the lines atomically (the file appears whole or not at all); on failure `error` says why.
bool SaveConfigTextFile(const QString& path, const QStringList& lines, QString& error);
