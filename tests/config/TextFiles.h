#pragma once
// A temporary folder for the text files a command-line test hands to nodarix-cli.
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class TextFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;

    // Writes the file and returns its path.
    QString put(const char* name, const QByteArray& bytes) const {
        const QString path = dir.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << name;
        f.write(bytes);
        return path;
    }
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};
