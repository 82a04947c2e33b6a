#include "config/RawImport.h"

#include "config/ConfigText.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>

namespace {

QString cannotOpen(const QString& path, const QString& reason) {
    return QStringLiteral("Błąd: nie można otworzyć pliku %1 (%2).").arg(QFileInfo(path).fileName(), reason);
}

// Reads a file of exactly `size` bytes into `record`, which is touched only when the whole file was read.
QString importExact(const QString& path, qint64 size, void* record) {
    const QFileInfo info(path);
    if (!info.exists())
        return cannotOpen(path, QStringLiteral("plik nie istnieje"));
    // A directory, a pipe or a device is no record file; a pipe would also block the opening.
    if (!info.isFile())
        return cannotOpen(path, QStringLiteral("to nie jest zwykły plik"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return cannotOpen(path, file.error() == QFileDevice::PermissionsError || !info.isReadable()
                                    ? QStringLiteral("brak uprawnień do odczytu")
                                    : file.errorString());
    if (file.size() != size)
        return RawImportSizeError();
    // One byte more than expected shows a file that grew after its size was taken.
    const QByteArray bytes = file.read(size + 1);
    if (bytes.size() != size)
        return bytes.size() > size ? RawImportSizeError() : cannotOpen(path, QStringLiteral("błąd odczytu"));
    std::memcpy(record, bytes.constData(), static_cast<size_t>(size));
    return {};
}

} // namespace

QString RawImportSizeError() { return QStringLiteral("Błąd: niewłaściwy rozmiar pliku."); }

QString ImportNdcFile(const QString& path, TNodarixQPAConfig& config) {
    return importExact(path, kNdcFileSize, &config);
}

QString ImportNdtFile(const QString& path, TNodarixQPAText& texts) {
    return importExact(path, kNdtFileSize, &texts);
}

QString ImportedQPAText(const TNodarixQPAConfig& config, bool OnlyConfigured, const TNodarixQPAText& texts) {
    return ConfigQPAToText(QStringLiteral("V4.0.1"), QLatin1Char('C'), config, OnlyConfigured, texts);
}
