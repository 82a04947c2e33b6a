#include "flash/ResCfg.h"

#include "flash/TextLines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

void LoadResCfg(const QString& fileName, TResCfg& resCfg) {
    resCfg = {};
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    ReadResCfg(file.readAll(), resCfg);
}

void ReadResCfg(QByteArrayView text, TResCfg& resCfg) {
    resCfg = {};
    flash::ForEachLine({text.constData(), static_cast<std::size_t>(text.size())},
                       [&](int, std::string_view line) {
                           if (line.size() >= 3 && (line[0] == 'u' || line[0] == 's') && line[1] >= '1' &&
                               line[1] <= '8' && line[2] == '=') {
                               auto& paths = line[0] == 'u' ? resCfg.U_Cgi : resCfg.S_Gif;
                               const std::string_view path = line.substr(3);
                               paths[static_cast<std::size_t>(line[1] - '1')] =
                                   QString::fromLocal8Bit(path.data(), static_cast<qsizetype>(path.size()));
                           }
                           return true;
                       });
}

bool SaveResCfg(const QString& fileName, const TResCfg& resCfg) {
    QByteArray text;
    for (int k = 0; k < 8; ++k)
        text += "u" + QByteArray::number(k + 1) + "=" +
                resCfg.U_Cgi[static_cast<std::size_t>(k)].toLocal8Bit() + "\r\n";
    for (int k = 0; k < 8; ++k)
        text += "s" + QByteArray::number(k + 1) + "=" +
                resCfg.S_Gif[static_cast<std::size_t>(k)].toLocal8Bit() + "\r\n";
    // Each upload saves the list; one that holds these lines already is left alone, which spares the
    // UI thread a write and a wait for the disk.
    if (QFile current(fileName); current.open(QIODevice::ReadOnly) && current.size() == text.size() &&
                                 current.readAll() == text)
        return true;
    QSaveFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}

QString ResCfgPath(const QString& startDirectory) {
    return QDir::toNativeSeparators(QDir(startDirectory).filePath(QStringLiteral("Res.txt")));
}

QString KibLabel(qint64 bytes) {
    if (bytes <= 0)
        return QStringLiteral("-");
    const qint64 kib = bytes % 1024 == 0 ? bytes / 1024 : bytes / 1024 + 1;
    return QString::number(kib) + QStringLiteral("kBi");
}

QString SlotFileLabel(const QString& path) {
    if (path.isEmpty())
        return QStringLiteral("-");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("-");
    const QString size = KibLabel(file.size());
    if (size == QLatin1String("-"))
        return size;
    const QString label = size + QLatin1Char(' ') + QFileInfo(path).fileName();
    constexpr int kLabelWidth = 16;
    return label.size() > kLabelWidth ? label.left(kLabelWidth) + QStringLiteral("...") : label;
}
