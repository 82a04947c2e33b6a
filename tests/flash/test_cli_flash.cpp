// nodarix-cli flash build and firmware pack/unpack, run as the installer runs them.
#include "flash/NamedResources.h"
#include "tests/support/CliProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class CliFlash : public testing::Test {
protected:
    CliRun run(QStringList args) {
        for (QString& a : args)
            a.replace(QLatin1String("$DIR"), dir.path());
        return RunCli(args);
    }
    QString file(const QString& name, const QByteArray& content) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        return f.fileName();
    }
    QTemporaryDir dir;
};

TEST_F(CliFlash, BuildsImagesAndTellsWhyNot) {
    file(QStringLiteral("Res.txt"), "u2=" + dir.filePath(QStringLiteral("gone.html")).toLocal8Bit() + "\r\n");
    file(QStringLiteral("short.bin"), QByteArray(100, 'x'));
    const struct {
        QStringList args;
        int exitCode;
        QByteArray out; // start of stdout
        QByteArray err; // part of stderr
    } cases[] = {
        {{"flash", "build", "--variant", "F101", "--lang", "pl", "-o", "$DIR/a.img"}, 0, "3", ""},
        {{"flash", "build", "--variant", "F405", "--lang", "IT", "--firmware", "-o", "$DIR/b.img"},
         0,
         "none\n",
         ""},
        {{"flash", "build", "--variant", "F102", "--lang", "PL", "-o", "$DIR/c.img"}, 2, "", "--variant"},
        {{"flash", "build", "--variant", "F101", "--lang", "DE", "-o", "$DIR/c.img"}, 2, "", "--lang"},
        {{"flash", "build", "--variant", "F101", "--lang", "PL", "-o", "$DIR/c.img", "--res", "$DIR/Res.txt"},
         7,
         "",
         "entry 135 (user page u2.cgi): cannot open"},
        {{"flash", "build", "--variant", "F101", "--lang", "PL", "--texts", "$DIR/short.bin", "-o",
          "$DIR/c.img"},
         2,
         "",
         "32768"},
        {{"flash", "build", "--variant", "F405", "--lang", "PL", "--texts", "$DIR/short.bin", "-o",
          "$DIR/c.img"},
         2,
         "",
         "F101"},
    };
    for (const auto& c : cases) {
        const CliRun r = run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString() << "\n" << r.err.toStdString();
        EXPECT_TRUE(c.out.isEmpty() || r.out.startsWith(QString::fromUtf8(c.out))) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err))) << r.err.toStdString();
    }
    EXPECT_EQ(QFile(dir.filePath(QStringLiteral("a.img"))).size(), 524288);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("c.img"))));
}

TEST_F(CliFlash, FirmwareUnpacksAndPacksBack) {
    ASSERT_EQ(run({"firmware", "unpack", "ip_kiv_bootloader_405_hex", "-o", "$DIR/boot.hex"}).exitCode, 0);
    QFile plain(dir.filePath(QStringLiteral("boot.hex")));
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
    EXPECT_EQ(plain.readAll().count("\r\n"), 504);
    ASSERT_EQ(run({"firmware", "pack", "$DIR/boot.hex", "-o", "$DIR/boot.stored"}).exitCode, 0);
    QFile stored(dir.filePath(QStringLiteral("boot.stored")));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), *flash::LoadNamedResource(QStringLiteral("ip_kiv_bootloader_405_hex")));
    ASSERT_EQ(run({"firmware", "unpack", "$DIR/boot.stored", "-o", "$DIR/again.hex"}).exitCode, 0);

    file(QStringLiteral("bad.hex"), ":00000001FE\n");
    const CliRun bad = run({"firmware", "pack", "$DIR/bad.hex", "-o", "$DIR/bad.stored"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains("line 1: checksum")) << bad.err.toStdString();
    EXPECT_EQ(run({"firmware", "unpack", "no_such_firmware", "-o", "$DIR/x.hex"}).exitCode, 2);
}

} // namespace
