#include "cli/CliFiles.h"
#include "config/ConfigTextFile.h"

#include "cli/CliCommand.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
    const TConfigTextLoad load = LoadConfigTextFile(path);
    if (!load.Text) {
        printError(QStringLiteral("nodarix-cli config: cannot read %1").arg(load.Error));
        exitCode = load.CannotOpen ? kExitFailure : kExitUsage;
    }
    return load.Text;
}

} // namespace cli
