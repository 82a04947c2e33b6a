// The update's backup of a QPA controller's configuration: what it writes, where, and that the
// images and the text as read give the configuration back.
#include "config/ConfigBackup.h"
#include "config/ConfigError.h"
#include "config/ConfigText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Images {
    TNodarixQPAConfig config{};
    TNodarixQPAText texts{};
};

// The demonstration configuration as a controller would hold it.
std::unique_ptr<Images> demoImages() {
    auto images = std::make_unique<Images>();
    const QString text = QString::fromLatin1(fileBytes(
        QStringLiteral(NODARIX_SOURCE_DIR "/resources/demo/demo-qpa.ndrx")));
    std::uint8_t autoPlace = 0;
    auto analog = std::make_unique<TACircuitRemap>();
    auto digital = std::make_unique<TDCircuitRemap>();
    EXPECT_FALSE(text.isEmpty());
    EXPECT_TRUE(TextToConfigQPA(text, autoPlace, false, *analog, *digital, images->texts, images->config))
        << ConfigErrorText().toStdString();
    return images;
}

TEST(ConfigBackup, WritesImagesAndBothTextsIntoAFolderNamedAfterSerialAndTime) {
    QTemporaryDir dir;
    const auto images = demoImages();
    const QDateTime time(QDate(2026, 12, 10), QTime(11, 5, 9));
    const TQPABackup backup{QStringLiteral("ND 1234/5"), QStringLiteral("V4.0.1"), QLatin1Char('C'),
                            &images->config, &images->texts, QStringLiteral("#converted\r\n")};
    QString error;
    const QString folder = WriteQPABackup(dir.filePath(QStringLiteral("kopie")), backup, time, error);
    ASSERT_FALSE(folder.isEmpty()) << error.toStdString();
    EXPECT_EQ(QFileInfo(folder).fileName(), QStringLiteral("ND_1234_5_20261210-110509"));
    const QDir d(folder);
    EXPECT_EQ(fileBytes(d.filePath(QLatin1String(kBackupSettingsFile))),
              QByteArray(reinterpret_cast<const char*>(&images->config), sizeof images->config));
    EXPECT_EQ(fileBytes(d.filePath(QLatin1String(kBackupTextsFile))),
              QByteArray(reinterpret_cast<const char*>(&images->texts), sizeof images->texts));
    EXPECT_EQ(fileBytes(d.filePath(QLatin1String(kBackupConvertedFile))), QByteArray("#converted\r\n"));

    // The text as read (every cell) is a configuration text the settings window can load; the
    // images above are what gives the controller back byte for byte.
    const QString asRead = QString::fromUtf8(fileBytes(d.filePath(QLatin1String(kBackupTextFile))));
    auto back = std::make_unique<Images>();
    std::uint8_t autoPlace = 0;
    auto analog = std::make_unique<TACircuitRemap>();
    auto digital = std::make_unique<TDCircuitRemap>();
    EXPECT_TRUE(asRead.startsWith(QLatin1Char('#')));
    EXPECT_TRUE(TextToConfigQPA(asRead, autoPlace, false, *analog, *digital, back->texts, back->config))
        << ConfigErrorText().toStdString();

    // A second backup in the same second gets a folder of its own.
    const QString second = WriteQPABackup(dir.filePath(QStringLiteral("kopie")), backup, time, error);
    EXPECT_EQ(QFileInfo(second).fileName(), QStringLiteral("ND_1234_5_20261210-110509-2"));
}

TEST(ConfigBackup, ADirectoryThatCannotBeCreatedIsReportedAndLeavesNothing) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("plik")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const auto images = demoImages();
    const TQPABackup backup{{}, QStringLiteral("V4.0.1"), QLatin1Char('C'), &images->config, &images->texts, {}};
    QString error;
    EXPECT_TRUE(WriteQPABackup(dir.filePath(QStringLiteral("plik/kopie")), backup, QDateTime::currentDateTime(),
                               error)
                    .isEmpty());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(BackupFolderStem(QString()), QStringLiteral("nodarix"));
}

} // namespace
