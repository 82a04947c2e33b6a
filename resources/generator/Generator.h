#pragma once
// nodarix-resgen: produces the data resources carried in the program from the sources in
// resources/web and from the firmware layout in Firmware.cpp. Every output file is named after the
// resource it becomes, in lower case.
#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace resgen {

// Thrown with a message naming the source file and line; main() prints it and fails the build.
struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

QByteArray ReadFile(const QString& path);
void WriteFile(const QDir& dir, const QString& name, const QByteArray& content);
// Writes the Qt resource collection that lists `names` (files in `dir`) under the prefix /nodarix.
void WriteQrc(const QDir& dir, const QString& qrcName, const QStringList& names);

// Pictures: NN_gif, NN_405_gif and the default user pictures sK_gif. Returns the names written.
QStringList GeneratePictures(const QString& sourceDir, const QDir& out);
// Pages, default user pages, style sheets and page texts. Returns the names written.
QStringList GenerateWeb(const QString& sourceDir, const QDir& out);
// The stored firmware images and the F101 bootloader. Returns the names written.
QStringList GenerateFirmware(const QDir& out);

} // namespace resgen
