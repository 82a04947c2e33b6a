#include "config/ConfigBackup.h"

#include "config/ConfigText.h"
#include "config/ConfigTextFile.h"

#include <QDir>
#include <QSaveFile>

namespace {

bool writeWhole(const QString& path, const QByteArray& bytes, QString& error) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return false;
}

// A configuration text (CR LF lines) through the one writer of configuration text files.
bool writeText(const QString& path, const QString& text, QString& error) {
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return SaveConfigTextFile(path, lines, error);
}

} // namespace

QString BackupFolderStem(const QString& serial) {
    QString stem;
    for (const QChar c : serial.trimmed())
        stem += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('-') ? c : QLatin1Char('_');
    return stem.isEmpty() ? QStringLiteral("nodarix") : stem;
}

QString WriteQPABackup(const QString& directory, const TQPABackup& backup, const QDateTime& time,
                       QString& error) {
    if (!backup.Config || !backup.Texts) {
        error = QStringLiteral("nothing to back up");
        return {};
    }
    QDir parent(directory);
    if (!parent.mkpath(QStringLiteral("."))) {
        error = QStringLiteral("%1: cannot create the directory").arg(directory);
        return {};
    }
    const QString base = BackupFolderStem(backup.Serial) + QLatin1Char('_') +
                         time.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = base;
    for (int n = 2; parent.exists(name); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    if (!parent.mkdir(name)) {
        error = QStringLiteral("%1: cannot create the folder").arg(parent.filePath(name));
        return {};
    }
    QDir folder(parent.filePath(name));

    const QString asRead = ConfigQPAToText(backup.Version, backup.PCB, *backup.Config, false, *backup.Texts);
    const bool written =
        writeWhole(folder.filePath(QLatin1String(kBackupSettingsFile)),
                   QByteArray(reinterpret_cast<const char*>(backup.Config), sizeof(TNodarixQPAConfig)), error) &&
        writeWhole(folder.filePath(QLatin1String(kBackupTextsFile)),
                   QByteArray(reinterpret_cast<const char*>(backup.Texts), sizeof(TNodarixQPAText)), error) &&
        writeText(folder.filePath(QLatin1String(kBackupTextFile)), asRead, error) &&
        (backup.Converted.isEmpty() ||
         writeText(folder.filePath(QLatin1String(kBackupConvertedFile)), backup.Converted, error));
    if (!written) {
        folder.removeRecursively();
        return {};
    }
    return QDir::toNativeSeparators(folder.path());
}
