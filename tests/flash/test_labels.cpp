// Size and free-space labels of the resources window and its slot labels.
#include "flash/ResCfg.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct KibCase {
    qint64 bytes;
    const char* label;
};

class SizeLabel : public testing::TestWithParam<KibCase> {};

TEST_P(SizeLabel, WholeKibPlusOneExceptForExactMultiples) {
    EXPECT_EQ(KibLabel(GetParam().bytes), QString::fromLatin1(GetParam().label));
}

INSTANTIATE_TEST_SUITE_P(ResourcesWindow, SizeLabel,
                         testing::Values(KibCase{0, "-"}, KibCase{1, "1kBi"}, KibCase{1023, "1kBi"},
                                         KibCase{1024, "1kBi"}, KibCase{1025, "2kBi"}, KibCase{1500, "2kBi"},
                                         KibCase{4096, "4kBi"}, KibCase{4097, "5kBi"},
                                         KibCase{507904, "496kBi"}));

QString fileOf(const QTemporaryDir& dir, const QString& name, qsizetype size) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(size, 'x'));
    return path;
}

TEST(SlotLabel, SizeAndNameCutToSixteenCharacters) {
    QTemporaryDir dir;
    EXPECT_EQ(SlotFileLabel(fileOf(dir, QStringLiteral("strona.html"), 1500)), QStringLiteral("2kBi strona.html"));
    EXPECT_EQ(SlotFileLabel(fileOf(dir, QStringLiteral("zdjęcie-ogrodu.gif"), 4096)),
              QStringLiteral("4kBi zdjęcie-ogr..."));
    EXPECT_EQ(SlotFileLabel(fileOf(dir, QStringLiteral("pusty.gif"), 0)), QStringLiteral("-"));
    EXPECT_EQ(SlotFileLabel(dir.filePath(QStringLiteral("brak.gif"))), QStringLiteral("-"));
    EXPECT_EQ(SlotFileLabel(dir.path()), QStringLiteral("-")) << "a directory is no file";
    EXPECT_EQ(SlotFileLabel(QString()), QStringLiteral("-"));
}

TEST(SlotLabel, ListFileLiesInTheStartDirectory) {
    EXPECT_EQ(ResCfgPath(QStringLiteral("/opt/inst")), QDir::toNativeSeparators(QStringLiteral("/opt/inst/Res.txt")));
}

} // namespace
