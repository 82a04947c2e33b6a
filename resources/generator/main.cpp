// nodarix-resgen web SOURCE_DIR OUT_DIR | firmware OUT_DIR
#include "resources/generator/Generator.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <cstdio>

namespace resgen {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("%1: %2").arg(path, file.errorString()).toStdString());
    return file.readAll();
}

void WriteFile(const QDir& dir, const QString& name, const QByteArray& content) {
    // Unchanged files keep their time stamp, so that rcc and the compiler have less to redo.
    const QString path = dir.filePath(name);
    QFile old(path);
    if (old.open(QIODevice::ReadOnly) && old.readAll() == content)
        return;
    old.close();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw Error(QStringLiteral("%1: %2").arg(path, file.errorString()).toStdString());
}

void WriteQrc(const QDir& dir, const QString& qrcName, const QStringList& names) {
    QByteArray qrc = "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/nodarix\">\n";
    for (const QString& name : names)
        qrc += "<file>" + name.toUtf8() + "</file>\n";
    qrc += "</qresource>\n</RCC>\n";
    WriteFile(dir, qrcName, qrc);
}

} // namespace resgen

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    try {
        if (args.size() == 3 && args[0] == QLatin1String("web")) {
            QDir out(args[2]);
            if (!out.mkpath(QStringLiteral(".")))
                throw resgen::Error("cannot create " + args[2].toStdString());
            QStringList names = resgen::GenerateWeb(args[1], out);
            names += resgen::GeneratePictures(args[1], out);
            names.sort();
            resgen::WriteQrc(out, QStringLiteral("nodarix_web.qrc"), names);
            return 0;
        }
        if (args.size() == 2 && args[0] == QLatin1String("firmware")) {
            QDir out(args[1]);
            if (!out.mkpath(QStringLiteral(".")))
                throw resgen::Error("cannot create " + args[1].toStdString());
            resgen::WriteQrc(out, QStringLiteral("nodarix_firmware.qrc"), resgen::GenerateFirmware(out));
            return 0;
        }
        std::fprintf(stderr, "usage: nodarix-resgen web SOURCE_DIR OUT_DIR | firmware OUT_DIR\n");
        return 2;
    } catch (const resgen::Error& e) {
        std::fprintf(stderr, "nodarix-resgen: %s\n", e.what());
        return 1;
    }
}
