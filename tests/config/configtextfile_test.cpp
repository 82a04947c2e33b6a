// Configuration text files on disk: the encodings and line ends a file may come with, and the
// bytes a save writes.
#include "config/ConfigTextFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct DecodeCase {
    const char* name;
    QByteArray bytes;
    std::optional<QString> text;
};

class ConfigTextFileDecode : public ::testing::TestWithParam<DecodeCase> {};

} // namespace

TEST_P(ConfigTextFileDecode, GivesCrLfTextInTheRightEncoding) {
    EXPECT_EQ(DecodeConfigTextFile(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigTextFileDecode,
    ::testing::Values(
        DecodeCase{"CrLfUtf8", "a=\xC5\x81\xC3\xB3\x64\xC5\xBA\r\nb\r\n", QStringLiteral("a=Łódź\r\nb\r\n")},
        DecodeCase{"LfOnly", "a\nb\n", QStringLiteral("a\r\nb\r\n")},
        DecodeCase{"Mixed", "a\r\nb\nc", QStringLiteral("a\r\nb\r\nc")},
        DecodeCase{"LoneCrStays", "a\rb\n", QStringLiteral("a\rb\r\n")},
        DecodeCase{"Utf8Mark", "\xEF\xBB\xBF\xC5\x81\n", QStringLiteral("Ł\r\n")},
        DecodeCase{"Utf16LeMark", QByteArray("\xFF\xFE\x41\x01\x0A\x00", 6), QStringLiteral("Ł\r\n")},
        // Not valid UTF-8: the older installers' code page (0xA3 Ł, 0xB9 ą, 0x9C ś, 0x8C Ś).
        DecodeCase{"Windows1250", "\xA3\xB9\x9C\x8C\n", QStringLiteral("ŁąśŚ\r\n")},
        DecodeCase{"CutOffUtf8IsWindows1250", "a\xC5", QStringLiteral("aĹ")},
        DecodeCase{"Utf16MarkOddLength", QByteArray("\xFF\xFE\x41", 3), std::nullopt},
        DecodeCase{"Utf8MarkThenInvalid", "\xEF\xBB\xBF\xFF\n", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigTextFileSave, Utf8WithoutMarkAndCrLfAfterEveryLine) {
    EXPECT_EQ(ConfigTextFileBytes({QStringLiteral("#settings"), QStringLiteral("Ł"), QString()}),
              QByteArray("#settings\r\n\xC5\x81\r\n\r\n"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.ndrx"));
    QString error;
    ASSERT_TRUE(SaveConfigTextFile(path, {QStringLiteral("Łódź")}, error)) << error.toStdString();
    const TConfigTextLoad load = LoadConfigTextFile(path);
    EXPECT_EQ(load.Text, QStringLiteral("Łódź\r\n"));
    EXPECT_FALSE(SaveConfigTextFile(dir.filePath(QStringLiteral("no/such/dir/a.ndrx")), {}, error));
    EXPECT_FALSE(error.isEmpty());
    const TConfigTextLoad missing = LoadConfigTextFile(dir.filePath(QStringLiteral("missing.ndrx")));
    EXPECT_FALSE(missing.Text);
    EXPECT_TRUE(missing.CannotOpen);
    EXPECT_TRUE(missing.Error.contains(QStringLiteral("missing.ndrx")));
}
