#include "cli/CliFiles.h"

#include "cli/CliCommand.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace cli {

bool readExactFile(const QString& path, qsizetype size, QByteArray& out) {
    QFile file(path);
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        printError(QStringLiteral("nodarix-cli: no such file: %1").arg(path));
        return false;
    }
    if (info.size() != size) {
        printError(QStringLiteral("nodarix-cli: %1 has %2 bytes; exactly %3 are needed")
                       .arg(path)
                       .arg(info.size())
                       .arg(size));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        printError(QStringLiteral("nodarix-cli: cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    out = file.readAll();
    if (out.size() != size) {
        printError(QStringLiteral("nodarix-cli: cannot read %1 whole").arg(path));
        return false;
    }
    return true;
}

bool writeFile(const QString& path, QByteArrayView data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data.data(), data.size()) != data.size() || !file.commit()) {
        printError(QStringLiteral("nodarix-cli: cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

std::optional<QString> readConfigTextFile(const QString& path, int& exitCode) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        printError(QStringLiteral("nodarix-cli config: cannot read %1: %2").arg(path, f.errorString()));
        exitCode = kExitFailure;
        return std::nullopt;
    }
    const QByteArray bytes = f.readAll();
    const auto encoding = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8), QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        printError(QStringLiteral("nodarix-cli config: %1 is not valid %2 text")
                       .arg(path, encoding ? QLatin1String(QStringConverter::nameForEncoding(*encoding))
                                           : QLatin1String("UTF-8")));
        exitCode = kExitUsage;
        return std::nullopt;
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QString normalised;
    normalised.reserve(text.size() + text.size() / 32);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n') && (i == 0 || text.at(i - 1) != QLatin1Char('\r')))
            normalised += QLatin1Char('\r');
        normalised += text.at(i);
    }
    return normalised;
}

} // namespace cli
